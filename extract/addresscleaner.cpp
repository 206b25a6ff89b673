#include "extract/addresscleaner.h"

#include <QChar>
#include <QtAlgorithms>

#include <array>
#include <cstring>
#include <string_view>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

// The classes of the ASCII units the rules name, looked up at once; every field kept
// passes through them.
enum UnitClass : uchar {
    Blank = 1,
    Enclosing = 2,
    TrailingPunctuation = 4,
    ForbiddenInLocalPart = 8,
    LetterOrDigit = 16,
};

constexpr std::array<uchar, 128> asciiClasses = [] {
    std::array<uchar, 128> classes{};
    for (int c = 0; c <= 32; ++c)
        classes[c] |= Blank | ForbiddenInLocalPart;
    for (char c : std::string_view("<>()[]{}\"'"))
        classes[uchar(c)] |= Enclosing;
    for (char c : std::string_view(".,;:!?"))
        classes[uchar(c)] |= TrailingPunctuation;
    for (char c : std::string_view("<>()[],;:\"@"))
        classes[uchar(c)] |= ForbiddenInLocalPart;
    for (int c = '0'; c <= '9'; ++c)
        classes[c] |= LetterOrDigit;
    for (int c = 'a'; c <= 'z'; ++c)
        classes[c] |= LetterOrDigit;
    for (int c = 'A'; c <= 'Z'; ++c)
        classes[c] |= LetterOrDigit;
    return classes;
}();

// The rules are written once for the units of a decoded text (char16_t) and for ASCII
// bytes (uchar); every unit they name is ASCII, except « and » and the Unicode blanks.
template <typename Unit>
bool isIn(Unit u, UnitClass unitClass)
{
    return u < 128 && (asciiClasses[u] & unitClass);
}

template <typename Unit>
bool isBlank(Unit u)
{
    return u < 128 ? isIn(u, Blank) : QChar::isSpace(char32_t(u));
}

template <typename Unit>
bool isEnclosing(Unit u)
{
    return isIn(u, Enclosing) || u == 0xAB || u == 0xBB;
}

template <typename Unit>
bool isTrailingPunctuation(Unit u)
{
    return isIn(u, TrailingPunctuation);
}

template <typename Unit>
bool isForbiddenInLocalPart(Unit u)
{
    return u < 128 ? isIn(u, ForbiddenInLocalPart) : QChar::isSpace(char32_t(u));
}

template <typename Unit>
Unit asciiLower(Unit u)
{
    return u >= 'A' && u <= 'Z' ? Unit(u - 'A' + 'a') : u;
}

// The first c in [p, end), or end. Fields are short: a loop beats a call.
template <typename Unit>
const Unit *find(const Unit *p, const Unit *end, char c)
{
    while (p < end && *p != Unit(c))
        ++p;
    return p;
}

template <typename Unit>
void trimBlanks(const Unit *&begin, const Unit *&end)
{
    while (begin < end && isBlank(*begin))
        ++begin;
    while (end > begin && isBlank(end[-1]))
        --end;
}

#ifdef __SSE2__
// For ASCII bytes, the searches that every field makes look at 16 bytes at a time: the
// first byte of [p, end) for which matches() sets a bit, or end.
template <typename Matches>
const uchar *findBytes(const uchar *p, const uchar *end, Matches matches)
{
    for (; end - p >= 16; p += 16) {
        if (const uint bits = uint(_mm_movemask_epi8(matches(_mm_loadu_si128(reinterpret_cast<const __m128i *>(p))))))
            return p + qCountTrailingZeroBits(bits);
    }
    if (p == end)
        return end;
    alignas(16) uchar tail[16] = {};
    std::memcpy(tail, p, size_t(end - p));
    const uint bits = uint(_mm_movemask_epi8(matches(_mm_load_si128(reinterpret_cast<const __m128i *>(tail)))))
            & ((1u << (end - p)) - 1);
    return bits ? p + qCountTrailingZeroBits(bits) : end;
}

__m128i equal(__m128i v, char c)
{
    return _mm_cmpeq_epi8(v, _mm_set1_epi8(c));
}

// Blanks and the units a local part may not hold: <>()[],;:" and "@".
__m128i stopsLocalPart(__m128i v)
{
    __m128i stops = _mm_cmpeq_epi8(_mm_min_epu8(v, _mm_set1_epi8(32)), v);
    for (const char c : std::string_view("<>()[],;:\"@"))
        stops = _mm_or_si128(stops, equal(v, c));
    return stops;
}

// A domain of ASCII bytes that fits in 16: labels of letters, digits and inner hyphens,
// separated by dots, at least two, told from the bits of its bytes.
bool isShortAsciiDomain(const uchar *begin, const uchar *end)
{
    const qsizetype size = end - begin;
    alignas(16) uchar bytes[16] = {};
    std::memcpy(bytes, begin, size_t(size));
    const __m128i v = _mm_load_si128(reinterpret_cast<const __m128i *>(bytes));
    const __m128i lower = _mm_or_si128(v, _mm_set1_epi8(0x20));
    const auto between = [](__m128i x, char low, char high) {
        return _mm_and_si128(_mm_cmpgt_epi8(x, _mm_set1_epi8(char(low - 1))),
                             _mm_cmplt_epi8(x, _mm_set1_epi8(char(high + 1))));
    };
    const uint inside = (1u << size) - 1;
    const uint letters = uint(_mm_movemask_epi8(_mm_or_si128(between(lower, 'a', 'z'), between(v, '0', '9'))));
    const uint dots = uint(_mm_movemask_epi8(equal(v, '.'))) & inside;
    const uint hyphens = uint(_mm_movemask_epi8(equal(v, '-'))) & inside;
    if (((letters | dots | hyphens) & inside) != inside || dots == 0)
        return false;
    // No label empty or with a hyphen at an end: the first and last bytes are letters or
    // digits, and a dot has a letter or digit on each side.
    const uint ends = 1u | (1u << (size - 1));
    const uint besideDots = (dots << 1) | (dots >> 1);
    return (letters & ends) == ends && (besideDots & inside & ~letters) == 0;
}
#endif

// The last < before the first > that closes a < with an "@" between them.
template <typename Unit>
void takeBracketed(const Unit *&begin, const Unit *&end)
{
#ifdef __SSE2__
    if constexpr (sizeof(Unit) == 1) {
        if (findBytes(begin, end, [](__m128i v) { return equal(v, '<'); }) == end)
            return;
    }
#endif
    const Unit *open = nullptr;
    bool at = false;
    for (const Unit *p = begin; p < end; ++p) {
        if (*p == '<') {
            open = p;
            at = false;
        } else if (*p == '@') {
            at = true;
        } else if (*p == '>' && open && at) {
            begin = open + 1;
            end = p;
            return;
        }
    }
}

// Whether the ] that ends [begin, end) closes an address literal, "@[…]".
template <typename Unit>
bool closesLiteral(const Unit *begin, const Unit *end)
{
    if (end[-1] != ']')
        return false;
    for (const Unit *p = end - 1; p > begin;) {
        --p;
        if (*p == ']')
            return false;
        if (*p == '[')
            return p > begin && p[-1] == '@';
    }
    return false;
}

template <typename Unit>
bool startsWithMailto(const Unit *begin, const Unit *end)
{
    static constexpr char mailto[] = "mailto:";
    constexpr qsizetype length = sizeof mailto - 1;
    if (end - begin < length)
        return false;
    for (qsizetype i = 0; i < length; ++i) {
        if (asciiLower(begin[i]) != Unit(mailto[i]))
            return false;
    }
    return true;
}

template <typename Unit>
bool isAsciiDigit(Unit u)
{
    return u >= '0' && u <= '9';
}

template <typename Unit>
bool isHexDigit(Unit u)
{
    return isAsciiDigit(u) || (asciiLower(u) >= 'a' && asciiLower(u) <= 'f');
}

// Four numbers from 0 to 255 separated by dots.
template <typename Unit>
bool isIpv4(const Unit *p, const Unit *end)
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

template <typename Unit>
bool isAddressLiteral(const Unit *begin, const Unit *end)
{
    static constexpr char tag[] = "ipv6:";
    constexpr qsizetype tagLength = sizeof tag - 1;
    if (isIpv4(begin, end))
        return true;
    if (end - begin <= tagLength)
        return false;
    for (qsizetype i = 0; i < tagLength; ++i) {
        if (asciiLower(begin[i]) != Unit(tag[i]))
            return false;
    }
    for (const Unit *p = begin + tagLength; p < end; ++p) {
        if (!isHexDigit(*p) && *p != ':' && *p != '.')
            return false;
    }
    return true;
}

// Labels of letters and digits of any script, marks after them and hyphens inside,
// separated by dots, at least two; or an address literal. One pass: every field kept
// passes here.
template <typename Unit>
bool isDomain(const Unit *begin, const Unit *end)
{
    if (begin < end && *begin == '[')
        return end - begin >= 2 && end[-1] == ']' && isAddressLiteral(begin + 1, end - 1);
#ifdef __SSE2__
    if constexpr (sizeof(Unit) == 1) {
        if (begin < end && end - begin <= 16)
            return isShortAsciiDomain(begin, end);
    }
#endif
    int labels = 0;
    const Unit *label = begin;
    for (const Unit *p = begin;; ++p) {
        if (p == end || *p == '.') {
            if (p == label || p[-1] == '-')
                return false;
            ++labels;
            if (p == end)
                return labels >= 2;
            label = p + 1;
            continue;
        }
        if (isIn(*p, LetterOrDigit) || (*p == '-' && p > label))
            continue;
        if (*p < 128)
            return false;
        char32_t c = *p;
        if constexpr (sizeof(Unit) == 2) {
            if (QChar::isHighSurrogate(c) && p + 1 < end && QChar::isLowSurrogate(p[1]))
                c = QChar::surrogateToUcs4(char16_t(c), *++p);
            else if (QChar::isSurrogate(c))
                return false;
        }
        if (!QChar::isLetter(c) && !QChar::isDigit(c) && (p == label || !QChar::isMark(c)))
            return false;
    }
}

// A non-empty local part up to the one "@", then the domain; a second "@" is no part of
// a domain.
template <typename Unit>
bool isAddress(const Unit *begin, const Unit *end)
{
    const Unit *p = begin;
#ifdef __SSE2__
    if constexpr (sizeof(Unit) == 1)
        p = findBytes(begin, end, stopsLocalPart);
#endif
    while (p < end && !isForbiddenInLocalPart(*p))
        ++p;
    if (p == begin || p == end || *p != '@')
        return false;
    return isDomain(p + 1, end);
}

template <typename Unit>
bool clean(const Unit *&begin, const Unit *&end)
{
    trimBlanks(begin, end);
    takeBracketed(begin, end);
    for (;;) {
        const Unit *const oldBegin = begin;
        const Unit *const oldEnd = end;
        trimBlanks(begin, end);
        while (begin < end && isEnclosing(*begin))
            ++begin;
        while (end > begin && (isEnclosing(end[-1]) || isTrailingPunctuation(end[-1]))
               && !closesLiteral(begin, end))
            --end;
        if (startsWithMailto(begin, end)) {
            begin += 7;
            end = find(begin, end, '?');
        }
        if (begin == oldBegin && end == oldEnd)
            break;
    }
    return isAddress(begin, end);
}

} // namespace

QStringView cleanedAddress(QStringView field)
{
    const auto *begin = reinterpret_cast<const char16_t *>(field.utf16());
    const char16_t *end = begin + field.size();
    if (!clean(begin, end))
        return QStringView();
    return QStringView(begin, end);
}

QByteArrayView cleanedAsciiAddress(QByteArrayView field)
{
    const auto *begin = reinterpret_cast<const uchar *>(field.data());
    const uchar *end = begin + field.size();
    if (!clean(begin, end))
        return QByteArrayView();
    return QByteArrayView(begin, end);
}
