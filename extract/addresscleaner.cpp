#include "extract/addresscleaner.h"

#include "base/wordhash.h"
#include "extract/characterreference.h"
#include "extract/topleveldomains.h"

#include <QChar>
#include <QtAlgorithms>

#include <array>
#include <cstring>
#include <string_view>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

// The classes of the ASCII characters the rules name, looked up at once: nearly every
// character of an address is ASCII.
enum CharacterClass : uchar {
    LetterOrDigit = 1,
    InLocalPart = 2,
    EndsMailto = 4,
};

constexpr std::array<uchar, 128> asciiClasses = [] {
    std::array<uchar, 128> classes{};
    for (int c = 0; c <= 32; ++c)
        classes[c] |= EndsMailto;
    for (char c : std::string_view("\"'<>"))
        classes[uchar(c)] |= EndsMailto;
    for (char c : std::string_view("._%+-'&"))
        classes[uchar(c)] |= InLocalPart;
    for (int c = '0'; c <= '9'; ++c)
        classes[c] |= LetterOrDigit | InLocalPart;
    for (int c = 'a'; c <= 'z'; ++c)
        classes[c] |= LetterOrDigit | InLocalPart;
    for (int c = 'A'; c <= 'Z'; ++c)
        classes[c] |= LetterOrDigit | InLocalPart;
    return classes;
}();

inline bool isLetterOrDigit(char32_t c)
{
    return c < 128 ? asciiClasses[c] & LetterOrDigit : QChar::isLetter(c) || QChar::isDigit(c);
}

inline bool isMark(char32_t c)
{
    return c >= 128 && QChar::isMark(c);
}

bool isLetterDigitOrMark(char32_t c)
{
    return QChar::isLetter(c) || QChar::isDigit(c) || QChar::isMark(c);
}

bool endsMailto(char32_t c)
{
    return c < 128 ? asciiClasses[c] & EndsMailto : QChar::isSpace(c);
}

// A character as the rules see it: its code point and the units it takes.
struct Character
{
    char32_t value;
    qsizetype length;
};

// The units of a text: a surrogate pair is one character, a lone surrogate stands for
// itself, and no rule takes it in.
struct Utf16
{
    using Unit = char16_t;

    static Character next(const char16_t *p, const char16_t *end)
    {
        if (QChar::isHighSurrogate(*p) && end - p >= 2 && QChar::isLowSurrogate(p[1]))
            return {QChar::surrogateToUcs4(p[0], p[1]), 2};
        return {*p, 1};
    }
    // The character that ends at p, which begins at or after from.
    static Character previous(const char16_t *from, const char16_t *p)
    {
        if (QChar::isLowSurrogate(p[-1]) && p - from >= 2 && QChar::isHighSurrogate(p[-2]))
            return {QChar::surrogateToUcs4(p[-2], p[-1]), 2};
        return {p[-1], 1};
    }
    static void append(QString &text, char32_t c)
    {
        if (QChar::requiresSurrogates(c)) {
            text += QChar(QChar::highSurrogate(c));
            text += QChar(QChar::lowSurrogate(c));
        } else {
            text += QChar(char16_t(c));
        }
    }
    static void append(QString &text, const char16_t *units, qsizetype count)
    {
        text.append(reinterpret_cast<const QChar *>(units), count);
    }
    // The first c in [p, end), or end.
    static const char16_t *find(const char16_t *p, const char16_t *end, char16_t c)
    {
        const qsizetype i = QStringView(p, end).indexOf(QChar(c));
        return i < 0 ? end : p + i;
    }
    // The label in UTF-8, as the list of top-level domains wants it.
    static bool isTopLevelDomain(const char16_t *begin, const char16_t *end)
    {
        std::array<char, 64> bytes;
        char *out = bytes.data();
        for (const char16_t *p = begin; p < end; ++p) {
            if (*p >= 0x80 || out == bytes.data() + bytes.size())
                return ::isTopLevelDomain(QStringView(begin, end).toUtf8());
            *out++ = char(*p);
        }
        return ::isTopLevelDomain(QByteArrayView(bytes.data(), out));
    }
};

// Well-formed UTF-8 bytes.
struct Utf8
{
    using Unit = uchar;

    static Character next(const uchar *p, const uchar *)
    {
        if (*p < 0x80)
            return {*p, 1};
        if (*p < 0xE0)
            return {(char32_t(p[0] & 0x1F) << 6) | (p[1] & 0x3F), 2};
        if (*p < 0xF0)
            return {(char32_t(p[0] & 0x0F) << 12) | (char32_t(p[1] & 0x3F) << 6) | (p[2] & 0x3F), 3};
        return {(char32_t(p[0] & 0x07) << 18) | (char32_t(p[1] & 0x3F) << 12)
                        | (char32_t(p[2] & 0x3F) << 6) | (p[3] & 0x3F),
                4};
    }
    static Character previous(const uchar *, const uchar *p)
    {
        const uchar *start = p - 1;
        while ((*start & 0xC0) == 0x80)
            --start;
        return {next(start, p).value, p - start};
    }
    static void append(QByteArray &bytes, char32_t c)
    {
        if (c < 0x80) {
            bytes += char(c);
        } else if (c < 0x800) {
            const char units[] = {char(0xC0 | (c >> 6)), char(0x80 | (c & 0x3F))};
            bytes.append(units, 2);
        } else if (c < 0x10000) {
            const char units[] = {char(0xE0 | (c >> 12)), char(0x80 | ((c >> 6) & 0x3F)),
                                  char(0x80 | (c & 0x3F))};
            bytes.append(units, 3);
        } else {
            const char units[] = {char(0xF0 | (c >> 18)), char(0x80 | ((c >> 12) & 0x3F)),
                                  char(0x80 | ((c >> 6) & 0x3F)), char(0x80 | (c & 0x3F))};
            bytes.append(units, 4);
        }
    }
    static void append(QByteArray &bytes, const uchar *units, qsizetype count)
    {
        bytes.append(reinterpret_cast<const char *>(units), count);
    }
    static const uchar *find(const uchar *p, const uchar *end, uchar c)
    {
        const void *found = std::memchr(p, c, size_t(end - p));
        return found ? static_cast<const uchar *>(found) : end;
    }
    static bool isTopLevelDomain(const uchar *begin, const uchar *end)
    {
        return ::isTopLevelDomain(QByteArrayView(begin, end));
    }
};

uint asciiLower(uint u)
{
    return u >= 'A' && u <= 'Z' ? u - 'A' + 'a' : u;
}

int hexValue(uint u)
{
    if (u >= '0' && u <= '9')
        return int(u - '0');
    u = asciiLower(u);
    return u >= 'a' && u <= 'f' ? int(u - 'a' + 10) : -1;
}

// The byte that "%" and two hexadecimal digits at p stand for, or -1.
template <typename Unit>
int percentEncodedByte(const Unit *p, const Unit *end)
{
    if (end - p < 3 || *p != '%')
        return -1;
    const int high = hexValue(p[1]);
    const int low = hexValue(p[2]);
    return high < 0 || low < 0 ? -1 : high << 4 | low;
}

// The character that the percent-encoded bytes at p stand for, when they are well-formed
// UTF-8; a length of 0 otherwise.
template <typename Unit>
Character percentEncodedCharacter(const Unit *p, const Unit *end)
{
    const int lead = percentEncodedByte(p, end);
    if (lead < 0)
        return {0, 0};
    if (lead < 0x80)
        return {char32_t(lead), 3};
    const int count = lead >= 0xC2 && lead < 0xE0 ? 2 : lead >= 0xE0 && lead < 0xF0 ? 3
            : lead >= 0xF0 && lead < 0xF5                                             ? 4
                                                                                      : 0;
    if (count == 0)
        return {0, 0};
    uchar bytes[4] = {uchar(lead)};
    for (int i = 1; i < count; ++i) {
        const int byte = percentEncodedByte(p + 3 * i, end);
        if (byte < 0)
            return {0, 0};
        bytes[i] = uchar(byte);
    }
    if (!QByteArrayView(bytes, count).isValidUtf8())
        return {0, 0};
    return {Utf8::next(bytes, bytes + count).value, 3 * count};
}

template <typename Encoding>
class Cleaning
{
public:
    using Unit = typename Encoding::Unit;

    // Whether anything in [begin, end) may need decoding.
    static bool mayNeedDecoding(const Unit *begin, const Unit *end)
    {
        return Encoding::find(begin, end, '&') < end || Encoding::find(begin, end, '%') < end;
    }

    // Every reference and, in a mailto, every percent-encoded character decoded once: what
    // a decoding gives is never decoded again.
    template <typename Buffer>
    static void decode(const Unit *p, const Unit *end, Buffer &decoded)
    {
        decoded.truncate(0);
        bool inMailto = false;
        while (p < end) {
            Character c{0, 0};
            if (*p == '&') {
                const CharacterReference reference = characterReferenceAt(p, end);
                c = {reference.character, reference.length};
            } else if (*p == '%' && inMailto) {
                c = percentEncodedCharacter(p, end);
            }
            if (c.length > 0) {
                Encoding::append(decoded, c.value);
            } else {
                c = Encoding::next(p, end);
                Encoding::append(decoded, p, c.length);
            }
            p += c.length;
            if (endsMailto(c.value))
                inMailto = false;
            else if (c.value == ':')
                inMailto = inMailto || endsWithMailto(decoded);
        }
    }

    // Calls add(begin, end) for each address of [begin, end), in order.
    template <typename Add>
    static void findAddresses(const Unit *begin, const Unit *end, Add &&add)
    {
        const Unit *from = begin;
        for (const Unit *p = begin; (p = Encoding::find(p, end, '@')) < end; ++p) {
            const Unit *localPart = localPartBefore(from, p);
            const Unit *domainEnd = localPart ? domainAfter(p + 1, end) : nullptr;
            if (domainEnd) {
                add(localPart, domainEnd);
                from = domainEnd;
                p = domainEnd - 1;
            }
        }
    }

#ifdef __SSE2__
    // The same for a field of up to 63 bytes that are all ASCII and hold no "&" and no
    // "%", as nearly every field is, from the classes of its bytes taken 16 at a time.
    // False, having called nothing, for any other field.
    template <typename Add>
    static bool findShortAsciiAddresses(const Unit *begin, const Unit *end, Add &&add)
        requires(sizeof(Unit) == 1)
    {
        const qsizetype size = end - begin;
        if (size > 63)
            return false;
        const ByteClasses c = classesOf(begin, size);
        if (c.nonAscii | c.escapes)
            return false;
        const quint64 hyphens = c.inLabel & ~c.lettersOrDigits;
        const quint64 edges = c.dots | c.apostrophes;
        int from = 0;
        for (quint64 atSigns = c.atSigns; atSigns; atSigns &= atSigns - 1) {
            const int at = qCountTrailingZeroBits(atSigns);
            if (at < from)
                continue;
            // The local part starts after the last character before the "@" that ends it
            // or that is the first of two dots in a row, then past the dots and
            // apostrophes that open it.
            const quint64 before = lowBits(at) & ~lowBits(from);
            const quint64 stops = (~c.inLocalPart | (c.dots & (c.dots >> 1))) & before;
            const int runStart = stops ? 64 - qCountLeadingZeroBits(stops) : from;
            const quint64 opening = ~edges & before & ~lowBits(runStart);
            if (!opening || isSet(edges, at - 1))
                continue;
            const int start = qCountTrailingZeroBits(opening);
            int domainEnd = 0;
            if (isSet(c.brackets, at + 1)) {
                const Unit *literalEnd = addressLiteralAfter(begin + at + 1, end);
                if (!literalEnd)
                    continue;
                domainEnd = int(literalEnd - begin);
            } else {
                int labels = 0;
                int label = at + 1;
                int labelEnd = label;
                for (int q = label; isSet(c.lettersOrDigits, q);) {
                    label = q;
                    const int runEnd = q + qCountTrailingZeroBits(~c.inLabel >> q);
                    labelEnd = runEnd;
                    while (isSet(hyphens, labelEnd - 1))
                        --labelEnd;
                    ++labels;
                    if (labelEnd != runEnd || !isSet(c.dots, labelEnd))
                        break;
                    q = labelEnd + 1;
                }
                if (labels < 2 || !Encoding::isTopLevelDomain(begin + label, begin + labelEnd))
                    continue;
                domainEnd = labelEnd;
            }
            add(begin + start, begin + domainEnd);
            from = domainEnd;
        }
        return true;
    }
#endif

private:
#ifdef __SSE2__
    // The classes of the bytes of a field, a bit for each byte; the bits past its end are
    // clear.
    struct ByteClasses
    {
        quint64 atSigns = 0;
        quint64 escapes = 0;
        quint64 nonAscii = 0;
        quint64 inLocalPart = 0;
        quint64 lettersOrDigits = 0;
        quint64 inLabel = 0;
        quint64 dots = 0;
        quint64 apostrophes = 0;
        quint64 brackets = 0;
    };

    // The bytes from p, up to 16 of them, the rest clear, read in whole words
    // (wordOfBytes()).
    static __m128i loadUpTo16(const uchar *p, qsizetype size)
    {
        if (size >= 16)
            return _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        const auto *bytes = reinterpret_cast<const char *>(p);
        const quint64 low = wordOfBytes(bytes, qMin(size, qsizetype(8)));
        const quint64 high = size > 8 ? wordOfBytes(bytes + size - 8, 8) >> (8 * (16 - size)) : 0;
        return _mm_set_epi64x(qint64(high), qint64(low));
    }

    static ByteClasses classesOf(const uchar *p, qsizetype size)
    {
        const auto equal = [](__m128i v, char c) { return _mm_cmpeq_epi8(v, _mm_set1_epi8(c)); };
        const auto between = [](__m128i v, char low, char high) {
            return _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8(char(low - 1))),
                                 _mm_cmplt_epi8(v, _mm_set1_epi8(char(high + 1))));
        };
        ByteClasses c;
        for (int block = 0; 16 * block < size; ++block) {
            const __m128i v = loadUpTo16(p + 16 * block, size - 16 * block);
            const __m128i lettersOrDigits
                    = _mm_or_si128(between(_mm_or_si128(v, _mm_set1_epi8(0x20)), 'a', 'z'), between(v, '0', '9'));
            const __m128i dots = equal(v, '.');
            const __m128i hyphens = equal(v, '-');
            const __m128i apostrophes = equal(v, '\'');
            const __m128i escapes = _mm_or_si128(equal(v, '&'), equal(v, '%'));
            const __m128i inLabel = _mm_or_si128(lettersOrDigits, hyphens);
            const __m128i inLocalPart = _mm_or_si128(
                    _mm_or_si128(inLabel, _mm_or_si128(dots, apostrophes)),
                    _mm_or_si128(escapes, _mm_or_si128(equal(v, '_'), equal(v, '+'))));
            const int shift = 16 * block;
            const auto bits = [shift](__m128i m) { return quint64(uint(_mm_movemask_epi8(m))) << shift; };
            c.atSigns |= bits(equal(v, '@'));
            c.escapes |= bits(escapes);
            c.nonAscii |= bits(v);
            c.inLocalPart |= bits(inLocalPart);
            c.lettersOrDigits |= bits(lettersOrDigits);
            c.inLabel |= bits(inLabel);
            c.dots |= bits(dots);
            c.apostrophes |= bits(apostrophes);
            c.brackets |= bits(equal(v, '['));
        }
        return c;
    }

    static quint64 lowBits(int count) { return (quint64(1) << count) - 1; }
    static bool isSet(quint64 bits, int i) { return i >= 0 && i < 64 && ((bits >> i) & 1); }
#endif

    template <typename Buffer>
    static bool endsWithMailto(const Buffer &decoded)
    {
        static constexpr std::string_view mailto = "mailto:";
        const qsizetype length = qsizetype(mailto.size());
        if (decoded.size() < length)
            return false;
        const auto *tail = reinterpret_cast<const Unit *>(decoded.constData()) + decoded.size() - length;
        for (qsizetype i = 0; i < length; ++i) {
            if (asciiLower(tail[i]) != uint(mailto[size_t(i)]))
                return false;
        }
        return true;
    }

    // Where the local part before the "@" at at begins, no earlier than from, or null.
    static const Unit *localPartBefore(const Unit *from, const Unit *at)
    {
        const Unit *start = at;
        while (start > from) {
            const Unit u = start[-1];
            if (u < 0x80) {
                if (!(asciiClasses[u] & InLocalPart) || (u == '.' && *start == '.'))
                    break;
                --start;
                continue;
            }
            const Character c = Encoding::previous(from, start);
            if (!isLetterDigitOrMark(c.value))
                break;
            start -= c.length;
        }
        while (start < at) {
            if (*start == '.' || *start == '\'') {
                ++start;
                continue;
            }
            const Character c = Encoding::next(start, at);
            if (!isMark(c.value))
                break;
            start += c.length;
        }
        if (start == at || at[-1] == '.' || at[-1] == '\'')
            return nullptr;
        return start;
    }

    // The end of the run of letters, digits, marks and hyphens at p.
    static const Unit *labelCharactersEnd(const Unit *p, const Unit *end)
    {
        while (p < end) {
            if (*p < 0x80) {
                if (!(asciiClasses[*p] & LetterOrDigit) && *p != '-')
                    break;
                ++p;
                continue;
            }
            const Character c = Encoding::next(p, end);
            if (!isLetterOrDigit(c.value) && !isMark(c.value))
                break;
            p += c.length;
        }
        return p;
    }

    // Where the domain that begins at p ends, or null.
    static const Unit *domainAfter(const Unit *p, const Unit *end)
    {
        if (p < end && *p == '[')
            return addressLiteralAfter(p, end);
        int labels = 0;
        const Unit *label = p;
        const Unit *labelEnd = p;
        for (const Unit *q = p; q < end && isLetterOrDigit(Encoding::next(q, end).value);) {
            label = q;
            labelEnd = labelCharactersEnd(q, end);
            while (labelEnd[-1] == '-')
                --labelEnd;
            ++labels;
            if (labelEnd == end || *labelEnd != '.')
                break;
            q = labelEnd + 1;
        }
        if (labels < 2 || !Encoding::isTopLevelDomain(label, labelEnd))
            return nullptr;
        return labelEnd;
    }

    // After the "]" of an address literal that begins at p, or null.
    static const Unit *addressLiteralAfter(const Unit *p, const Unit *end)
    {
        const Unit *close = p + 1;
        while (close < end && *close != ']')
            ++close;
        if (close == end || !(isIpv4(p + 1, close) || isIpv6Literal(p + 1, close)))
            return nullptr;
        return close + 1;
    }

    static bool isAsciiDigit(Unit u) { return u >= '0' && u <= '9'; }

    // Four numbers from 0 to 255 separated by dots.
    static bool isIpv4(const Unit *p, const Unit *end)
    {
        for (int part = 0; part < 4; ++part) {
            if (part > 0) {
                if (p == end || *p != '.')
                    return false;
                ++p;
            }
            int value = 0;
            int digits = 0;
            for (; p < end && isAsciiDigit(*p) && digits < 3; ++p, ++digits)
                value = value * 10 + (*p - '0');
            if (digits == 0 || value > 255)
                return false;
        }
        return p == end;
    }

    // "IPv6:" in any case, then hexadecimal digits, colons and dots.
    static bool isIpv6Literal(const Unit *begin, const Unit *end)
    {
        static constexpr std::string_view tag = "ipv6:";
        const qsizetype tagLength = qsizetype(tag.size());
        if (end - begin <= tagLength)
            return false;
        for (qsizetype i = 0; i < tagLength; ++i) {
            if (asciiLower(begin[i]) != uint(tag[size_t(i)]))
                return false;
        }
        for (const Unit *p = begin + tagLength; p < end; ++p) {
            if (hexValue(*p) < 0 && *p != ':' && *p != '.')
                return false;
        }
        return true;
    }
};

template <typename View>
using EncodingOf = std::conditional_t<std::is_same_v<View, QStringView>, Utf16, Utf8>;

} // namespace

template <typename View>
const std::vector<View> &AddressCleaner<View>::addressesIn(View field)
{
    using Encoding = EncodingOf<View>;
    using Unit = typename Encoding::Unit;
    using Steps = Cleaning<Encoding>;

    m_addresses.clear();
    const auto *begin = reinterpret_cast<const Unit *>(field.data());
    const Unit *end = begin + field.size();
    const auto add = [this](const Unit *addressBegin, const Unit *addressEnd) {
        m_addresses.push_back(View(addressBegin, addressEnd - addressBegin));
    };
#ifdef __SSE2__
    if constexpr (sizeof(Unit) == 1) {
        if (Steps::findShortAsciiAddresses(begin, end, add))
            return m_addresses;
    }
#endif
    if (Steps::mayNeedDecoding(begin, end)) {
        Steps::decode(begin, end, m_decoded);
        begin = reinterpret_cast<const Unit *>(m_decoded.constData());
        end = begin + m_decoded.size();
    }
    Steps::findAddresses(begin, end, add);
    return m_addresses;
}

template class AddressCleaner<QStringView>;
template class AddressCleaner<QByteArrayView>;
