#pragma once

#include "worklist/progress.h"

#include <QChar>
#include <QStringView>

#include <cstring>

// Finds the fields that hold "@" in a whole text, with the same result as cutting the text
// into lines and splitting each with SplitDelimited, but splits only the lines that hold
// an "@": the scan jumps from one "@" to the next and splits the line around it.
//
// Text describes the units and the rules that differ between a decoded text and the
// UTF-8 bytes of a file: the unit type, how to find a unit, which units break lines, where
// a line's content ends, and how the non-spacing marks after a blank or a delimiter are
// passed. Every other rule concerns ASCII units only, which UTF-8 never uses inside a
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
            const Unit *lineStart = Text::lineStart(p, at);
            const Unit *lineEnd = Text::lineEnd(at, end);
            splitLine(lineStart, Text::contentEnd(lineStart, lineEnd), sink);
            p = lineEnd;
        }
        reportProgress(progress, size, size);
    }

    // Splits one line as SplitDelimited does, handing on only the fields with an "@".
    template <typename Sink>
    static void splitLine(const Unit *p, const Unit *end, Sink &sink)
    {
        p = passBlanks(p, end);
        while (p < end) {
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
                    }
                }
                if (hasAt)
                    sink(begin, p, doubled);
                if (p < end)
                    ++p;
            } else {
                const Unit *begin = p;
                for (; p < end && !isBlank(*p) && *p != u','; ++p) {
                    if (*p == u'@')
                        hasAt = true;
                }
                if (hasAt)
                    sink(begin, p, false);
            }
            p = passBlanks(p, end);
            if (p < end && *p == u',')
                p = passBlanks(Text::passMarks(p + 1, end), end);
        }
    }

private:
    static bool isBlank(Unit u) { return u <= 32; }

    static const Unit *passBlanks(const Unit *p, const Unit *end)
    {
        while (p < end && isBlank(*p))
            p = Text::passMarks(p + 1, end);
        return p;
    }
};

// A decoded text whose breaks are '\n'. A line ends at its first U+0000, and a carriage
// return inside it is a blank.
struct Utf16Text
{
    using Unit = char16_t;

    static const Unit *find(const Unit *p, const Unit *end, char16_t c)
    {
        const qsizetype i = QStringView(p, end).indexOf(QChar(c));
        return i < 0 ? nullptr : p + i;
    }
    static const Unit *lineStart(const Unit *from, const Unit *p)
    {
        while (p > from && p[-1] != u'\n')
            --p;
        return p;
    }
    static const Unit *lineEnd(const Unit *p, const Unit *end)
    {
        const Unit *lf = find(p, end, u'\n');
        return lf ? lf : end;
    }
    static const Unit *contentEnd(const Unit *begin, const Unit *end)
    {
        const Unit *nul = find(begin, end, 0);
        return nul ? nul : end;
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
    static const Unit *lineStart(const Unit *from, const Unit *p)
    {
        auto *lf = static_cast<const Unit *>(memrchr(from, '\n', size_t(p - from)));
        if (lf)
            from = lf + 1;
        auto *cr = static_cast<const Unit *>(memrchr(from, '\r', size_t(p - from)));
        return cr ? cr + 1 : from;
    }
    static const Unit *lineEnd(const Unit *p, const Unit *end)
    {
        if (const Unit *lf = find(p, end, u'\n'))
            end = lf;
        const Unit *cr = find(p, end, u'\r');
        return cr ? cr : end;
    }
    static const Unit *contentEnd(const Unit *, const Unit *end) { return end; }

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
