#include "extract/addresscleaner.h"

#include <QChar>

namespace {

// The rules are written once for the units of a decoded text (char16_t) and for ASCII
// bytes (uchar); every unit they name is ASCII, except « and » and the Unicode blanks.
template <typename Unit>
bool isBlank(Unit u)
{
    return u <= 32 || QChar::isSpace(char32_t(u));
}

template <typename Unit>
bool isEnclosing(Unit u)
{
    switch (u) {
    case '<': case '>': case '(': case ')': case '[': case ']': case '{': case '}':
    case '"': case '\'': case 0xAB: case 0xBB:
        return true;
    default:
        return false;
    }
}

template <typename Unit>
bool isTrailingPunctuation(Unit u)
{
    switch (u) {
    case '.': case ',': case ';': case ':': case '!': case '?':
        return true;
    default:
        return false;
    }
}

template <typename Unit>
bool isForbiddenInLocalPart(Unit u)
{
    switch (u) {
    case '<': case '>': case '(': case ')': case '[': case ']': case ',': case ';': case ':':
    case '"': case '@':
        return true;
    default:
        return isBlank(u);
    }
}

template <typename Unit>
Unit asciiLower(Unit u)
{
    return u >= 'A' && u <= 'Z' ? Unit(u - 'A' + 'a') : u;
}

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

// The last < before the first > that closes a < with an "@" between them.
template <typename Unit>
void takeBracketed(const Unit *&begin, const Unit *&end)
{
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

// Letters and digits of any script, marks after them, hyphens inside.
template <typename Unit>
bool isLabel(const Unit *begin, const Unit *end)
{
    if (begin == end || *begin == '-' || end[-1] == '-')
        return false;
    for (const Unit *p = begin; p < end; ++p) {
        char32_t c = *p;
        if constexpr (sizeof(Unit) == 2) {
            if (QChar::isHighSurrogate(c) && p + 1 < end && QChar::isLowSurrogate(p[1]))
                c = QChar::surrogateToUcs4(char16_t(c), *++p);
            else if (QChar::isSurrogate(c))
                return false;
        }
        const bool allowed = QChar::isLetter(c) || QChar::isDigit(c)
                || (p > begin && (c == '-' || QChar::isMark(c)));
        if (!allowed)
            return false;
    }
    return true;
}

template <typename Unit>
bool isDomain(const Unit *begin, const Unit *end)
{
    if (begin < end && *begin == '[')
        return end - begin >= 2 && end[-1] == ']' && isAddressLiteral(begin + 1, end - 1);
    int labels = 0;
    for (const Unit *label = begin;;) {
        const Unit *dot = find(label, end, '.');
        if (!isLabel(label, dot))
            return false;
        ++labels;
        if (dot == end)
            return labels >= 2;
        label = dot + 1;
    }
}

template <typename Unit>
bool isAddress(const Unit *begin, const Unit *end)
{
    const Unit *at = find(begin, end, '@');
    if (at == begin || at == end || find(at + 1, end, '@') != end)
        return false;
    for (const Unit *p = begin; p < at; ++p) {
        if (isForbiddenInLocalPart(*p))
            return false;
    }
    return isDomain(at + 1, end);
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
