#pragma once

#include <QChar>
#include <QtGlobal>

#include <string_view>

// A character reference of HTML that "Adresses seules" decodes: its character and its
// length in units, or a length of 0 where none begins.
struct CharacterReference
{
    char32_t character = 0;
    qsizetype length = 0;
};

// The reference that begins at p, at an "&": a numeric one ("&#" decimal digits ";" or
// "&#x" hexadecimal digits ";", x in any case) of a character other than U+0000 and the
// surrogates, or one of the named ones that can hide an address's "@" or edges.
template <typename Unit>
CharacterReference characterReferenceAt(const Unit *p, const Unit *end)
{
    const Unit *q = p + 1;
    if (q < end && *q == '#') {
        ++q;
        char32_t base = 10;
        if (q < end && (*q == 'x' || *q == 'X')) {
            base = 16;
            ++q;
        }
        const Unit *digits = q;
        char32_t value = 0;
        for (; q < end; ++q) {
            char32_t digit;
            if (*q >= '0' && *q <= '9')
                digit = char32_t(*q - '0');
            else if (base == 16 && (*q | 0x20) >= 'a' && (*q | 0x20) <= 'f')
                digit = char32_t((*q | 0x20) - 'a' + 10);
            else
                break;
            value = qMin(value * base + digit, char32_t(0x110000));
        }
        if (q == digits || q == end || *q != ';' || value == 0 || value > 0x10FFFF
            || QChar::isSurrogate(value))
            return {};
        return {value, q + 1 - p};
    }
    static constexpr struct
    {
        std::string_view name;
        char32_t character;
    } named[] = {
        {"commat;", u'@'}, {"lt;", u'<'}, {"gt;", u'>'}, {"quot;", u'"'}, {"amp;", u'&'},
        {"nbsp;", 0xA0},
    };
    for (const auto &reference : named) {
        const qsizetype length = qsizetype(reference.name.size());
        if (end - q < length)
            continue;
        qsizetype i = 0;
        while (i < length && q[i] == Unit(uchar(reference.name[size_t(i)])))
            ++i;
        if (i == length)
            return {reference.character, length + 1};
    }
    return {};
}

// Whether an "@" hides at p: in a reference at an "&", or as "%40", which the cleaning
// decodes in a mailto. A field can give an address only if it holds an "@" or one of
// these.
template <typename Unit>
bool hidesAtSign(const Unit *p, const Unit *end)
{
    if (*p == '%')
        return end - p >= 3 && p[1] == '4' && p[2] == '0';
    return *p == '&' && characterReferenceAt(p, end).character == u'@';
}
