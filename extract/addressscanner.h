#pragma once

#include "extract/characterreference.h"

#include <QChar>
#include <QStringView>
#include <QtAlgorithms>

#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

// What AddressScanner learns looking back from an "@" to a field boundary: where the
// line starts (or the boundary, when the line started before it), the last separator in
// between, and whether a unit there needs the whole splitter.
template <typename Unit>
struct LookBack
{
    const Unit *lineStart;
    const Unit *separator;
    bool needsSplitter;
};

// Finds the fields that hold "@" in a text, with the same result as cutting the text into
// lines and splitting each with splitFields(). Most of a text is far from any "@": the scan
// jumps from one "@" to the next with a vectorised search and finds the edges of its field
// around it. Only a line whose quotation marks could move those edges is split from its
// start by splitLine(), which follows every rule of the splitter.
//
// The scan may start and stop at any field boundary: a line start, or a separator (a
// blank or the delimiter) outside quoted fields. Whatever stands before such a place, the
// splitter next passes the blanks there, so a text cut at boundaries gives, piece by
// piece, the fields of the whole text.
//
// Text describes the units and the rules that differ between a decoded text and the UTF-8
// bytes of a file: the unit type, how to find a unit, which units end a line's content,
// and how the non-spacing marks after a blank or a delimiter are passed. Every other rule
// concerns ASCII units only, which UTF-8 never uses inside a multi-byte character.
//
// How a field stands in the text: a quoted field may hold blanks, zero bytes and doubled
// quotation marks, a plain one none of them.
enum class FieldForm { Plain, Quoted, QuotedWithDoubledQuotes };

// For each field that holds "@", sink(begin, end, form) receives the units of the field as
// they stand in the text: for a quoted field the content between the quotes, where each
// doubled quotation mark still stands for one.
template <typename Text>
class AddressScanner
{
public:
    using Unit = typename Text::Unit;

    // Hands on the fields with "@" of [begin, end). begin is a field boundary; end is the
    // end of the text or a field boundary.
    template <typename Sink>
    static void scan(const Unit *begin, const Unit *end, Sink &sink)
    {
        const Unit *p = begin;
        while (p < end) {
            const Unit *at = Text::findAtSign(p, end);
            if (!at)
                return;
            // p is a field boundary: from it, or from the line start between, up to the
            // "@", the fields are plain unless a quotation mark stands there.
            const auto back = Text::lookBack(begin, p, at);
            p = back.needsSplitter ? Text::nextLine(passQuotes(begin, back.lineStart, at, end, sink), end)
                                   : plainField(back, at, end, sink);
        }
    }
    // The last field boundary of a text that goes on after end, so that [begin, cut) can be
    // scanned now and the rest later, from cut: after the last line break, else the last
    // separator outside quoted fields (the line may be longer than any piece), else begin.
    static const Unit *lastCut(const Unit *begin, const Unit *end)
    {
        if (const Unit *lineStart = Text::lastLineStart(begin, end))
            return lineStart;
        if (!Text::mayNeedSplitter(begin, end)) {
            const Unit *separator = Text::lastSeparator(begin, end);
            return separator ? separator : begin;
        }
        const Unit *cut = begin;
        const auto ignore = [](const Unit *, const Unit *, FieldForm) {};
        splitLine(begin, end, ignore, [&cut](const Unit *separator) { cut = separator; });
        return cut;
    }

    // Splits the line that starts at the field boundary p as splitFields does, handing on
    // only the fields with an "@", and returns where the line's content ends: at a unit
    // for which Text::endsLine() holds, or at end. Such units are all blanks or U+0000.
    // onSeparator(p) learns each separator passed outside quoted fields.
    template <typename Sink, typename OnSeparator>
    static const Unit *splitLine(const Unit *p, const Unit *end, Sink &sink,
                                 OnSeparator &&onSeparator)
    {
        p = passBlanks(p, end, onSeparator);
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
                    } else if (Text::isAtSign(p, end)) {
                        hasAt = true;
                    } else if (Text::endsLine(*p)) {
                        break;
                    }
                }
                if (hasAt)
                    sink(begin, p, doubled ? FieldForm::QuotedWithDoubledQuotes : FieldForm::Quoted);
                if (p < end && *p == u'"')
                    ++p;
            } else {
                const Unit *begin = p;
                p = Text::plainFieldEnd(p, end, hasAt);
                if (hasAt)
                    sink(begin, p, FieldForm::Plain);
            }
            p = passBlanks(p, end, onSeparator);
            if (p < end && *p == u',') {
                onSeparator(p);
                p = passBlanks(Text::passMarks(p + 1, end), end, onSeparator);
            }
        }
        return p;
    }

private:
    // Hands on the plain field that holds at, and returns its end.
    template <typename Sink>
    static const Unit *plainField(const LookBack<Unit> &back, const Unit *at, const Unit *end,
                                  Sink &sink)
    {
        const Unit *start = back.separator ? Text::passMarks(back.separator + 1, end)
                                           : back.lineStart;
        const Unit *fieldEnd = Text::fieldEnd(at + 1, end);
        sink(start, fieldEnd, FieldForm::Plain);
        return fieldEnd;
    }

    // From the field boundary from, goes from one quotation mark to the next up to at: a
    // mark that begins a field opens a quoted field, which runs to the next lone mark or
    // to the line's end; any other stands inside a plain field. Hands on the field that
    // holds at and returns its end, or returns where the line's content ends before at.
    template <typename Sink>
    static const Unit *passQuotes(const Unit *begin, const Unit *from, const Unit *at,
                                  const Unit *end, Sink &sink)
    {
        for (const Unit *q = from;;) {
            const Unit *quote = Text::findQuote(q, at);
            if (!quote)
                return plainField(Text::lookBack(begin, q, at), at, end, sink);
            if (*quote != u'"')
                return quote;
            const Unit *separator = Text::lastSeparator(q, quote);
            const Unit *fieldStart = separator ? Text::passMarks(separator + 1, end) : q;
            if (fieldStart != quote) {
                const Unit *fieldEnd = Text::fieldEnd(quote + 1, end);
                if (fieldEnd > at) {
                    sink(fieldStart, fieldEnd, FieldForm::Plain);
                    return fieldEnd;
                }
                q = fieldEnd;
                continue;
            }
            bool doubled = false;
            const Unit *close = Text::closingQuote(quote + 1, end, doubled);
            if (close > at) {
                sink(quote + 1, close, doubled ? FieldForm::QuotedWithDoubledQuotes : FieldForm::Quoted);
                return close < end && *close == u'"' ? close + 1 : close;
            }
            if (*close != u'"')
                return close;
            q = close + 1;
        }
    }

    template <typename OnSeparator>
    static const Unit *passBlanks(const Unit *p, const Unit *end, OnSeparator &onSeparator)
    {
        while (p < end && *p <= 32 && !Text::endsLine(*p)) {
            onSeparator(p);
            p = Text::passMarks(p + 1, end);
        }
        return p;
    }
};

// The rules written one unit at a time; Text is the class that derives from them.
template <typename Text, typename UnitType>
struct TextRules
{
    using Unit = UnitType;

    static bool isSeparator(Unit u) { return u <= 32 || u == u','; }

    static const Unit *findAtSign(const Unit *p, const Unit *end) { return Text::find(p, end, u'@'); }
    static bool isAtSign(const Unit *p, const Unit *) { return *p == u'@'; }

    // The first "@", "&" or "%" in [p, end), or null.
    static const Unit *findAtSignOrEscape(const Unit *p, const Unit *end)
    {
#ifdef __SSE2__
        constexpr qsizetype perBlock = 16 / sizeof(Unit);
        for (; end - p >= perBlock; p += perBlock) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
            __m128i found;
            if constexpr (sizeof(Unit) == 1) {
                found = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('@')),
                                                  _mm_cmpeq_epi8(v, _mm_set1_epi8('&'))),
                                     _mm_cmpeq_epi8(v, _mm_set1_epi8('%')));
            } else {
                found = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(v, _mm_set1_epi16('@')),
                                                  _mm_cmpeq_epi16(v, _mm_set1_epi16('&'))),
                                     _mm_cmpeq_epi16(v, _mm_set1_epi16('%')));
            }
            if (const uint bits = uint(_mm_movemask_epi8(found)))
                return p + qCountTrailingZeroBits(bits) / sizeof(Unit);
        }
#endif
        for (; p < end; ++p) {
            if (*p == u'@' || *p == u'&' || *p == u'%')
                return p;
        }
        return nullptr;
    }

    // Looks back from at to from; [readable, from) may be read too.
    static LookBack<Unit> lookBack(const Unit *, const Unit *from, const Unit *at)
    {
        LookBack<Unit> back{from, nullptr, false};
        for (const Unit *p = at; p > from;) {
            const Unit u = *--p;
            if (Text::isBreak(u)) {
                back.lineStart = p + 1;
                break;
            }
            if (u == u'"' || Text::endsLine(u))
                back.needsSplitter = true;
            else if (!back.separator && isSeparator(u))
                back.separator = p;
        }
        return back;
    }

    static const Unit *fieldEnd(const Unit *p, const Unit *end)
    {
        while (p < end && !isSeparator(*p))
            ++p;
        return p;
    }

    // Where the plain field that starts at p ends: at its first separator or at end. Sets
    // hasAt when an "@" comes before.
    static const Unit *plainFieldEnd(const Unit *p, const Unit *end, bool &hasAt)
    {
        for (; p < end && !isSeparator(*p); ++p) {
            if (*p == u'@')
                hasAt = true;
        }
        return p;
    }

    // The first quotation mark, or unit that ends a line's content, in [p, end).
    static const Unit *findQuote(const Unit *p, const Unit *end)
    {
        for (; p < end; ++p) {
            if (*p == u'"' || Text::endsLine(*p))
                return p;
        }
        return nullptr;
    }

    // Where the quoted field whose content starts at p ends: at its closing quotation
    // mark, at the end of the line's content, or at end. Sets doubled when a doubled mark
    // stands before.
    static const Unit *closingQuote(const Unit *p, const Unit *end, bool &doubled)
    {
        for (;;) {
            const Unit *stop = Text::findQuote(p, end);
            if (!stop)
                return end;
            if (*stop != u'"' || stop + 1 == end || stop[1] != u'"')
                return stop;
            doubled = true;
            p = stop + 2;
        }
    }

    static const Unit *lastLineStart(const Unit *begin, const Unit *p)
    {
        while (p > begin) {
            if (Text::isBreak(*--p))
                return p + 1;
        }
        return nullptr;
    }

    // The last separator in [begin, p), or null.
    static const Unit *lastSeparator(const Unit *begin, const Unit *p)
    {
        while (p > begin) {
            if (isSeparator(*--p))
                return p;
        }
        return nullptr;
    }

    // After the first line break at or after p, or end.
    static const Unit *nextLineStart(const Unit *p, const Unit *end)
    {
        while (p < end) {
            if (Text::isBreak(*p++))
                return p;
        }
        return end;
    }
};

// A decoded text whose breaks are '\n'. A line's content ends at its first U+0000, and a
// carriage return inside it is a blank.
struct Utf16Text : TextRules<Utf16Text, char16_t>
{
    static const Unit *find(const Unit *p, const Unit *end, char16_t c)
    {
        const qsizetype i = QStringView(p, end).indexOf(QChar(c));
        return i < 0 ? nullptr : p + i;
    }
    static bool isBreak(Unit u) { return u == u'\n'; }
    static bool endsLine(Unit u) { return u == u'\n' || u == 0; }
    static bool mayNeedSplitter(const Unit *begin, const Unit *end)
    {
        return find(begin, end, u'"') || find(begin, end, 0);
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
struct Utf8Bytes : TextRules<Utf8Bytes, uchar>
{
    static const Unit *find(const Unit *p, const Unit *end, char16_t c)
    {
        return static_cast<const Unit *>(std::memchr(p, int(c), size_t(end - p)));
    }
    static bool isBreak(Unit u) { return u == '\n' || u == '\r'; }
    static bool endsLine(Unit u) { return isBreak(u); }
    static bool mayNeedSplitter(const Unit *begin, const Unit *end) { return find(begin, end, u'"'); }
    static const Unit *nextLine(const Unit *p, const Unit *) { return p; }

    // Most of the time that the "@" search leaves goes into these searches, so they look at
    // 16 bytes at a time.
#ifdef __SSE2__
    static LookBack<Unit> lookBack(const Unit *readable, const Unit *from, const Unit *at)
    {
        const __m128i lf = _mm_set1_epi8('\n');
        const __m128i cr = _mm_set1_epi8('\r');
        const __m128i quote = _mm_set1_epi8('"');
        bool quoted = false;
        const Unit *separator = nullptr;
        for (const Unit *p = at; p > from; p -= 16) {
            // The last block may begin before from, when that can be read: its bytes
            // before from do not count.
            uint inside = 0xFFFF;
            if (p - from < 16) {
                if (p - 16 < readable) {
                    LookBack<Unit> back = TextRules::lookBack(readable, from, p);
                    back.needsSplitter = back.needsSplitter || quoted;
                    if (separator)
                        back.separator = separator;
                    return back;
                }
                inside = (0xFFFFu << (16 - (p - from))) & 0xFFFF;
            }
            const __m128i v = load(p - 16);
            uint breaks = mask(_mm_or_si128(_mm_cmpeq_epi8(v, lf), _mm_cmpeq_epi8(v, cr))) & inside;
            uint quotes = mask(_mm_cmpeq_epi8(v, quote)) & inside;
            uint separators = separatorMask(v) & inside;
            if (breaks) {
                const uint last = 31 - qCountLeadingZeroBits(breaks);
                const uint after = ~((2u << last) - 1);
                quotes &= after;
                separators &= after;
            }
            quoted = quoted || quotes;
            if (!separator && separators)
                separator = p - 16 + (31 - qCountLeadingZeroBits(separators));
            if (breaks)
                return {p - 16 + (32 - qCountLeadingZeroBits(breaks)), separator, quoted};
        }
        return {from, separator, quoted};
    }

    static const Unit *fieldEnd(const Unit *p, const Unit *end)
    {
        for (; end - p >= 16; p += 16) {
            if (const uint stops = separatorMask(load(p)))
                return p + qCountTrailingZeroBits(stops);
        }
        return TextRules::fieldEnd(p, end);
    }

    static const Unit *plainFieldEnd(const Unit *p, const Unit *end, bool &hasAt)
    {
        const __m128i at = _mm_set1_epi8('@');
        for (; end - p >= 16; p += 16) {
            const __m128i v = load(p);
            const uint stops = separatorMask(v);
            const uint ats = mask(_mm_cmpeq_epi8(v, at));
            if (stops) {
                const uint before = stops & (0u - stops);
                hasAt = hasAt || (ats & (before - 1)) != 0;
                return p + qCountTrailingZeroBits(stops);
            }
            hasAt = hasAt || ats != 0;
        }
        return TextRules::plainFieldEnd(p, end, hasAt);
    }

    static const Unit *findQuote(const Unit *p, const Unit *end)
    {
        const __m128i lf = _mm_set1_epi8('\n');
        const __m128i cr = _mm_set1_epi8('\r');
        const __m128i quote = _mm_set1_epi8('"');
        for (; end - p >= 16; p += 16) {
            const __m128i v = load(p);
            const __m128i breaks = _mm_or_si128(_mm_cmpeq_epi8(v, lf), _mm_cmpeq_epi8(v, cr));
            if (const uint stops = mask(_mm_or_si128(_mm_cmpeq_epi8(v, quote), breaks)))
                return p + qCountTrailingZeroBits(stops);
        }
        return TextRules::findQuote(p, end);
    }

    static const Unit *lastLineStart(const Unit *begin, const Unit *p)
    {
        const __m128i lf = _mm_set1_epi8('\n');
        const __m128i cr = _mm_set1_epi8('\r');
        for (; p - begin >= 16; p -= 16) {
            const __m128i v = load(p - 16);
            const uint breaks = mask(_mm_or_si128(_mm_cmpeq_epi8(v, lf), _mm_cmpeq_epi8(v, cr)));
            if (breaks)
                return p - 16 + (32 - qCountLeadingZeroBits(breaks));
        }
        return TextRules::lastLineStart(begin, p);
    }

    static const Unit *lastSeparator(const Unit *begin, const Unit *p)
    {
        for (; p - begin >= 16; p -= 16) {
            if (const uint separators = separatorMask(load(p - 16)))
                return p - 16 + (31 - qCountLeadingZeroBits(separators));
        }
        return TextRules::lastSeparator(begin, p);
    }

    static __m128i load(const Unit *p) { return _mm_loadu_si128(reinterpret_cast<const __m128i *>(p)); }
    static uint mask(__m128i v) { return uint(_mm_movemask_epi8(v)); }
    // Bytes up to 32 and commas.
    static uint separatorMask(__m128i v)
    {
        const __m128i blanks = _mm_cmpeq_epi8(_mm_min_epu8(v, _mm_set1_epi8(32)), v);
        return mask(_mm_or_si128(blanks, _mm_cmpeq_epi8(v, _mm_set1_epi8(','))));
    }
#endif

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

// The rules of Text, with an "@" found also where a character reference or a
// percent-encoding hides one (hidesAtSign()): the fields that "Adresses seules" looks at.
// Such a hidden "@" holds no separator, so it lies inside one field.
template <typename Text>
struct WithHiddenAtSigns : Text
{
    using Unit = typename Text::Unit;

    static const Unit *findAtSign(const Unit *p, const Unit *end)
    {
        for (;; ++p) {
            p = Text::findAtSignOrEscape(p, end);
            if (!p || *p == u'@' || hidesAtSign(p, end))
                return p;
        }
    }
    static bool isAtSign(const Unit *p, const Unit *end) { return *p == u'@' || hidesAtSign(p, end); }
    static const Unit *plainFieldEnd(const Unit *p, const Unit *end, bool &hasAt)
    {
        const Unit *fieldEnd = Text::plainFieldEnd(p, end, hasAt);
        for (; !hasAt && p < fieldEnd; ++p)
            hasAt = hidesAtSign(p, fieldEnd);
        return fieldEnd;
    }
};
