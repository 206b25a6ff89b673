#pragma once

#include "base/progress.h"

#include <QChar>
#include <QStringView>
#include <QtAlgorithms>

#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

// Where the plain field that starts at p ends: at its first blank (a unit up to 32) or
// delimiter, or at end. Sets hasAt when an "@" comes before.
template <typename Unit>
const Unit *plainFieldEnd(const Unit *p, const Unit *end, bool &hasAt)
{
    for (; p < end && *p > 32 && *p != u','; ++p) {
        if (*p == u'@')
            hasAt = true;
    }
    return p;
}

// Finds the fields that hold "@" in a whole text, with the same result as cutting the text
// into lines and splitting each with splitFields, but splits only the lines that hold
// an "@": the scan jumps from one "@" to the next and splits the line around it.
//
// Text describes the units and the rules that differ between a decoded text and the UTF-8
// bytes of a file: the unit type, how to find a unit, which units end a line's content,
// where the next line starts, and how the non-spacing marks after a blank or a delimiter
// are passed. Every other rule concerns ASCII units only, which UTF-8 never uses inside a
// multi-byte character.
//
// For each field that holds "@", sink(begin, end, hasDoubledQuotes) receives the units of
// the field as they stand in the text: for a quoted field the content between the quotes,
// where each doubled quotation mark still stands for one.
template <typename Text>
class AddressScanner
{
public:
    using Unit = typename Text::Unit;

    template <typename Sink>
    static void scan(const Unit *text, qsizetype size, Sink &&sink, const Progress &progress)
    {
        constexpr qsizetype reportStep = qsizetype(1) << 20;
        const Unit *const end = text + size;
        const Unit *p = text;
        qsizetype nextReport = 0;
        while (p < end) {
            if (progress && p - text >= nextReport) {
                reportProgress(progress, p - text, size);
                nextReport = p - text + reportStep;
            }
            const Unit *at = Text::find(p, end, u'@');
            if (!at)
                break;
            p = Text::nextLine(splitLine(Text::lineStart(p, at), end, sink), end);
        }
        reportProgress(progress, size, size);
    }

    // Splits the line that starts at p as splitFields does, handing on only the fields
    // with an "@", and returns where the line's content ends: at a unit for which
    // Text::endsLine() holds, or at end. Such units are all blanks or U+0000.
    template <typename Sink>
    static const Unit *splitLine(const Unit *p, const Unit *end, Sink &sink)
    {
        p = passBlanks(p, end);
        while (p < end && !Text::endsLine(*p)) {
            bool hasAt = false;
            if (*p == u'"') {
                const Unit *begin = ++p;
                bool doubled = false;
                for (; p < end; ++p) {
                    if (*p == u'"') {
                        if (p + 1 == end || p[1] != u'"')
                            break;
                        doubled = true;
                        ++p;
                    } else if (*p == u'@') {
                        hasAt = true;
                    } else if (Text::endsLine(*p)) {
                        break;
                    }
                }
                if (hasAt)
                    sink(begin, p, doubled);
                if (p < end && *p == u'"')
                    ++p;
            } else {
                const Unit *begin = p;
                p = Text::plainFieldEnd(p, end, hasAt);
                if (hasAt)
                    sink(begin, p, false);
            }
            p = passBlanks(p, end);
            if (p < end && *p == u',')
                p = passBlanks(Text::passMarks(p + 1, end), end);
        }
        return p;
    }

private:
    static bool isBlank(Unit u) { return u <= 32; }

    static const Unit *passBlanks(const Unit *p, const Unit *end)
    {
        while (p < end && isBlank(*p) && !Text::endsLine(*p))
            p = Text::passMarks(p + 1, end);
        return p;
    }
};

// A decoded text whose breaks are '\n'. A line's content ends at its first U+0000, and a
// carriage return inside it is a blank.
struct Utf16Text
{
    using Unit = char16_t;

    static const Unit *find(const Unit *p, const Unit *end, char16_t c)
    {
        const qsizetype i = QStringView(p, end).indexOf(QChar(c));
        return i < 0 ? nullptr : p + i;
    }
    static bool endsLine(Unit u) { return u == u'\n' || u == 0; }
    static const Unit *plainFieldEnd(const Unit *p, const Unit *end, bool &hasAt)
    {
        return ::plainFieldEnd(p, end, hasAt);
    }
    static const Unit *lineStart(const Unit *from, const Unit *p)
    {
        while (p > from && p[-1] != u'\n')
            --p;
        return p;
    }
    static const Unit *nextLine(const Unit *p, const Unit *end)
    {
        if (p == end || *p != 0)
            return p;
        const Unit *lf = find(p, end, u'\n');
        return lf ? lf : end;
    }
    static const Unit *passMarks(const Unit *p, const Unit *end)
    {
        if (p < end && QChar::isLowSurrogate(*p))
            ++p;
        while (p < end && *p >= firstMark && QChar::category(char32_t(*p)) == QChar::Mark_NonSpacing)
            ++p;
        return p;
    }

    static constexpr char16_t firstMark = 0x0300;
};

// The UTF-8 bytes of a file, as they decode leniently: lines end at CR, LF or CR LF, and a
// zero byte, which the decoded text holds as a space, is a blank.
struct Utf8Bytes
{
    using Unit = uchar;

    static const Unit *find(const Unit *p, const Unit *end, char16_t c)
    {
        return static_cast<const Unit *>(std::memchr(p, int(c), size_t(end - p)));
    }
    static bool endsLine(Unit u) { return u == '\n' || u == '\r'; }

    // Most of the time goes into these two searches, so they look at 16 bytes at a time.
    static const Unit *lineStart(const Unit *from, const Unit *p)
    {
#ifdef __SSE2__
        const __m128i lf = _mm_set1_epi8('\n');
        const __m128i cr = _mm_set1_epi8('\r');
        for (; p - from >= 16; p -= 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p - 16));
            const uint breaks = uint(_mm_movemask_epi8(
                    _mm_or_si128(_mm_cmpeq_epi8(v, lf), _mm_cmpeq_epi8(v, cr))));
            if (breaks)
                return p - 16 + (32 - qCountLeadingZeroBits(breaks));
        }
#endif
        while (p > from && !endsLine(p[-1]))
            --p;
        return p;
    }
    static const Unit *plainFieldEnd(const Unit *p, const Unit *end, bool &hasAt)
    {
#ifdef __SSE2__
        const __m128i space = _mm_set1_epi8(32);
        const __m128i comma = _mm_set1_epi8(',');
        const __m128i at = _mm_set1_epi8('@');
        for (; end - p >= 16; p += 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
            const __m128i blanks = _mm_cmpeq_epi8(_mm_min_epu8(v, space), v);
            const uint stops = uint(_mm_movemask_epi8(_mm_or_si128(blanks, _mm_cmpeq_epi8(v, comma))));
            const uint ats = uint(_mm_movemask_epi8(_mm_cmpeq_epi8(v, at)));
            if (stops) {
                const uint before = stops & (0u - stops);
                hasAt = hasAt || (ats & (before - 1)) != 0;
                return p + qCountTrailingZeroBits(stops);
            }
            hasAt = hasAt || ats != 0;
        }
#endif
        return ::plainFieldEnd(p, end, hasAt);
    }
    static const Unit *nextLine(const Unit *p, const Unit *) { return p; }

    // Passes the non-spacing marks that follow, as whole well-formed characters; a mark
    // is never ill-formed, and the marks lie in the Basic Multilingual Plane from U+0300
    // (CC 80) on, so they take two or three bytes.
    static const Unit *passMarks(const Unit *p, const Unit *end)
    {
        while (p < end && *p >= 0xCC && *p < 0xF0) {
            char32_t c;
            qsizetype length;
            if (*p < 0xE0) {
                if (end - p < 2 || !isContinuation(p[1]))
                    break;
                c = (char32_t(p[0] & 0x1F) << 6) | (p[1] & 0x3F);
                length = 2;
            } else {
                if (end - p < 3 || !isContinuation(p[1]) || !isContinuation(p[2]))
                    break;
                c = (char32_t(p[0] & 0x0F) << 12) | (char32_t(p[1] & 0x3F) << 6) | (p[2] & 0x3F);
                if (c < 0x800 || QChar::isSurrogate(c))
                    break;
                length = 3;
            }
            if (QChar::category(c) != QChar::Mark_NonSpacing)
                break;
            p += length;
        }
        return p;
    }

    static bool isContinuation(Unit b) { return (b & 0xC0) == 0x80; }
};
