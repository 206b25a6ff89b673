#include "textarea/rowcache.h"

#include <QDeadlineTimer>
#include <QFontMetricsF>
#include <QTextBoundaryFinder>
#include <QtMath>

#include <algorithm>
#include <cmath>

namespace {

qsizetype s_pieceLength = 4096;
// About 50 ms of layout: farther rows get an island rather than a wait.
qsizetype s_farDistance = 256 * 1024;

// Paragraphs kept around the ones on screen.
constexpr qsizetype keptLines = 256;
// An island starts a few rows' worth of text before the row asked for.
constexpr int islandLeadRows = 4;

} // namespace

bool RowCache::Rows::covers(qsizetype column) const
{
    return column >= starts.front() && (complete || column < starts.back());
}

qsizetype RowCache::Rows::startFor(qsizetype column) const
{
    return *(std::upper_bound(starts.cbegin(), starts.cend(), column) - 1);
}

RowCache::RowCache(const TextBuffer *buffer)
    : m_buffer(buffer)
{
}

qsizetype RowCache::pieceLength()
{
    return s_pieceLength;
}

qsizetype RowCache::farDistance()
{
    return s_farDistance;
}

void RowCache::setPieceLength(qsizetype length)
{
    s_pieceLength = qMax<qsizetype>(8, length);
}

void RowCache::setFarDistance(qsizetype distance)
{
    s_farDistance = qMax<qsizetype>(1, distance);
}

void RowCache::setFont(const QFont &font)
{
    m_font = font;
    const QFontMetricsF metrics(font);
    m_averageCharWidth = qMax<qreal>(1, metrics.averageCharWidth());
    m_rowHeight = qMax(1, qCeil(metrics.height()));
    clear();
}

void RowCache::setWidth(qreal width)
{
    width = qMax<qreal>(1, width);
    if (width == m_width)
        return;
    m_width = width;
    clear();
}

void RowCache::clear()
{
    m_entries.clear();
}

bool RowCache::isLong(qsizetype line) const
{
    return m_buffer->paragraph(line).size() > s_pieceLength;
}

// A layout kept for drawing keeps its glyphs; one made only to find rows does not. A
// single row of a long paragraph is drawn from a layout that does not wrap: alone, its
// text may wrap otherwise than inside the paragraph.
std::unique_ptr<QTextLayout> RowCache::layOut(const QString &text, Purpose purpose) const
{
    auto layout = std::make_unique<QTextLayout>(text, m_font);
    QTextOption option;
    option.setWrapMode(purpose == Purpose::DrawRow ? QTextOption::NoWrap
                                                   : QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout->setTextOption(option);
    layout->setCacheEnabled(purpose != Purpose::FindRows);
    layout->beginLayout();
    int y = 0;
    for (QTextLine row = layout->createLine(); row.isValid(); row = layout->createLine()) {
        row.setLineWidth(m_width);
        row.setPosition(QPointF(0, y));
        y += m_rowHeight;
    }
    layout->endLayout();
    return layout;
}

// An entry goes in whole or not at all, also when memory runs out while it is made.
RowCache::Entry &RowCache::entry(qsizetype line)
{
    auto it = m_entries.find(line);
    if (it != m_entries.end())
        return it->second;
    Entry e;
    const QString &text = m_buffer->paragraph(line);
    if (text.size() <= s_pieceLength) {
        e.whole = layOut(text, Purpose::DrawParagraph);
        e.main.starts.clear();
        for (int i = 0; i < e.whole->lineCount(); ++i)
            e.main.starts.push_back(e.whole->lineAt(i).textStart());
        e.main.complete = true;
    }
    return m_entries.emplace(line, std::move(e)).first->second;
}

// A piece's end cuts its last word short, and QTextLayout decides where a row ends by
// looking up to two words ahead, so only the rows that end three rows before the cut
// are kept; the next piece starts at the third row from the end. A row's start is not
// always where a text can start afresh: a combining mark that opens a row is shaped and
// broken with the character before it, so the piece is laid out from the row before,
// and its rows are taken from the known start on where that layout meets it.
void RowCache::layOutPiece(Rows &rows, const QString &text) const
{
    const qsizetype from = rows.starts.back();
    const qsizetype context = rows.starts.size() >= 2 ? rows.starts[rows.starts.size() - 2] : from;
    for (qsizetype length = s_pieceLength;; length *= 2) {
        qsizetype to = qMin(text.size(), from + length);
        if (to < text.size() && text.at(to).isLowSurrogate())
            ++to;
        const bool last = to == text.size();
        for (const qsizetype start : { context, from }) {
            const auto layout = layOut(text.sliced(start, to - start), Purpose::FindRows);
            const int count = layout->lineCount();
            int first = 0;
            while (first < count && start + layout->lineAt(first).textStart() < from)
                ++first;
            if (first == count || start + layout->lineAt(first).textStart() != from)
                continue;
            if (!last && count - first < 4)
                break;
            for (int i = first + 1, end = last ? count : count - 2; i < end; ++i)
                rows.starts.push_back(start + layout->lineAt(i).textStart());
            rows.complete = last;
            return;
        }
    }
}

// The rows found from the paragraph's start take the island's over where they meet one
// of its starts from which the island's rows are its own wrap; once past the island
// without meeting it, they replace it.
void RowCache::indexPiece(Entry &e, const QString &text)
{
    layOutPiece(e.main, text);
    if (!e.island)
        return;
    Rows &island = *e.island;
    const std::vector<qsizetype> &main = e.main.starts;
    if (e.main.complete || main.back() >= island.starts.back()) {
        e.island.reset();
        return;
    }
    if (main.back() < island.starts.front())
        return;
    for (auto it = std::lower_bound(main.cbegin(), main.cend(), e.islandExactFrom); it != main.cend(); ++it) {
        if (std::binary_search(island.starts.cbegin(), island.starts.cend(), *it)) {
            const auto rest = std::upper_bound(island.starts.cbegin(), island.starts.cend(), main.back());
            e.main.starts.insert(e.main.starts.end(), rest, island.starts.cend());
            e.main.complete = island.complete;
            e.island.reset();
            return;
        }
    }
    // Not met yet: the island goes on from the last start found, which ends its first row
    // early.
    const auto rest = std::upper_bound(island.starts.cbegin(), island.starts.cend(), main.back());
    std::vector<qsizetype> trimmed{ main.back() };
    trimmed.insert(trimmed.end(), rest, island.starts.cend());
    island.starts = std::move(trimmed);
    e.islandExactFrom = qMax(e.islandExactFrom, island.starts.at(1));
}

qreal RowCache::averageRowLength(const Entry &e) const
{
    const qsizetype known = e.main.starts.size() - 1;
    if (known > 0)
        return qMax<qreal>(1, qreal(e.main.starts.back()) / known);
    return qMax<qreal>(1, m_width / m_averageCharWidth);
}

// Where to start laying out for a row near column: after the last blank before it,
// where the wrap from the paragraph's start most likely starts a row too.
qsizetype RowCache::blankBefore(const QString &text, qsizetype column) const
{
    column = std::clamp<qsizetype>(column, 0, text.size());
    for (qsizetype i = column - 1; i >= 0 && i >= column - s_pieceLength; --i) {
        if (text.at(i).isSpace())
            return i + 1;
    }
    if (column > 0 && column < text.size() && text.at(column).isLowSurrogate())
        --column;
    return column;
}

void RowCache::placeIsland(Entry &e, const QString &text, qsizetype column)
{
    const qsizetype lead = qsizetype(islandLeadRows * averageRowLength(e));
    const qsizetype from = qMax(e.main.starts.back() + 1, blankBefore(text, column - lead));
    e.island = std::make_unique<Rows>(Rows{ { from }, false });
    e.islandExactFrom = from;
    while (!e.island->covers(column))
        layOutPiece(*e.island, text);
}

// Rows laid out from before the island up to its start; the row that reaches past the
// start ends there, unless the two wraps meet.
void RowCache::extendIslandBack(Entry &e, const QString &text, qsizetype column)
{
    Rows &island = *e.island;
    const qsizetype front = island.starts.front();
    const qsizetype lead = qsizetype(islandLeadRows * averageRowLength(e));
    const qsizetype from = qMax(e.main.starts.back(), blankBefore(text, column - lead));
    Rows before{ { from }, false };
    while (!before.complete && before.starts.back() < front)
        layOutPiece(before, text);
    const bool met = std::binary_search(before.starts.cbegin(), before.starts.cend(), front);
    std::vector<qsizetype> starts(before.starts.cbegin(),
                                  std::lower_bound(before.starts.cbegin(), before.starts.cend(), front));
    starts.insert(starts.end(), island.starts.cbegin(), island.starts.cend());
    island.starts = std::move(starts);
    if (met && e.islandExactFrom == front)
        e.islandExactFrom = from;
}

void RowCache::resolve(Entry &e, const QString &text, qsizetype column)
{
    for (;;) {
        if (e.main.covers(column) || (e.island && e.island->covers(column)))
            return;
        if (e.island && column >= e.island->starts.back()) {
            if (column - e.island->starts.back() <= s_farDistance)
                layOutPiece(*e.island, text);
            else
                placeIsland(e, text, column);
        } else if (column - e.main.starts.back() <= s_farDistance) {
            indexPiece(e, text);
        } else if (e.island && e.island->starts.front() - column <= s_farDistance) {
            extendIslandBack(e, text, column);
        } else {
            placeIsland(e, text, column);
        }
    }
}

qsizetype RowCache::rowStartFor(qsizetype line, qsizetype column)
{
    Entry &e = entry(line);
    const QString &text = m_buffer->paragraph(line);
    column = std::clamp<qsizetype>(column, 0, text.size());
    resolve(e, text, column);
    return e.main.covers(column) ? e.main.startFor(column) : e.island->startFor(column);
}

qsizetype RowCache::nextRowStart(qsizetype line, qsizetype start)
{
    Entry &e = entry(line);
    const QString &text = m_buffer->paragraph(line);
    start = std::clamp<qsizetype>(start, 0, text.size());
    resolve(e, text, start);
    const Rows &rows = e.main.covers(start) ? e.main : *e.island;
    const auto next = std::upper_bound(rows.starts.cbegin(), rows.starts.cend(), start);
    return next == rows.starts.cend() ? -1 : *next;
}

qsizetype RowCache::rowEnd(qsizetype line, qsizetype start)
{
    const qsizetype next = nextRowStart(line, start);
    return next < 0 ? m_buffer->paragraph(line).size() : next;
}

qsizetype RowCache::previousRowStart(qsizetype line, qsizetype start)
{
    return rowStartFor(line, start - 1);
}

qsizetype RowCache::islandFirstRow(const Entry &e) const
{
    const qsizetype known = e.main.starts.size() - 1;
    const qsizetype gap = e.island->starts.front() - e.main.starts.back();
    if (gap <= 0)
        return known;
    return known + qMax<qsizetype>(1, qRound64(gap / averageRowLength(e)));
}

qsizetype RowCache::rowIndex(qsizetype line, qsizetype start)
{
    Entry &e = entry(line);
    start = rowStartFor(line, start);
    if (e.main.covers(start) || !e.island || start < e.island->starts.front())
        return std::lower_bound(e.main.starts.cbegin(), e.main.starts.cend(), start) - e.main.starts.cbegin();
    const auto &starts = e.island->starts;
    return islandFirstRow(e) + (std::lower_bound(starts.cbegin(), starts.cend(), start) - starts.cbegin());
}

qsizetype RowCache::rowStartAtIndex(qsizetype line, qsizetype index)
{
    Entry &e = entry(line);
    const std::vector<qsizetype> &main = e.main.starts;
    index = qMax<qsizetype>(0, index);
    if (e.main.complete)
        return main.at(qMin<qsizetype>(index, main.size() - 1));
    const qsizetype known = main.size() - 1;
    if (index <= known)
        return main.at(index);
    const qreal perRow = averageRowLength(e);
    qsizetype column = main.back() + qsizetype((index - known) * perRow);
    if (e.island) {
        const qsizetype first = islandFirstRow(e);
        const auto &starts = e.island->starts;
        if (index >= first && index < first + qsizetype(starts.size()))
            return starts.at(index - first);
        if (index >= first)
            column = starts.back() + qsizetype((index - first - qsizetype(starts.size()) + 1) * perRow);
    }
    return rowStartFor(line, column);
}

qsizetype RowCache::estimatedRowCount(qsizetype line)
{
    Entry &e = entry(line);
    if (e.main.complete)
        return e.main.starts.size();
    const QString &text = m_buffer->paragraph(line);
    const qreal perRow = averageRowLength(e);
    auto rest = [&](qsizetype from) { return qMax<qsizetype>(1, qsizetype(std::ceil((text.size() - from) / perRow))); };
    if (!e.island)
        return e.main.starts.size() - 1 + rest(e.main.starts.back());
    const qsizetype first = islandFirstRow(e);
    const qsizetype count = e.island->starts.size();
    if (e.island->complete)
        return first + count;
    return first + count - 1 + rest(e.island->starts.back());
}

const std::vector<qsizetype> &RowCache::exactRowStarts(qsizetype line)
{
    Entry &e = entry(line);
    const QString &text = m_buffer->paragraph(line);
    while (!e.main.complete)
        indexPiece(e, text);
    return e.main.starts;
}

RowCache::DrawRow RowCache::drawRow(qsizetype line, qsizetype start)
{
    Entry &e = entry(line);
    if (e.whole) {
        const auto at = std::upper_bound(e.main.starts.cbegin(), e.main.starts.cend(), start) - 1;
        return { e.whole.get(), int(at - e.main.starts.cbegin()), 0 };
    }
    start = rowStartFor(line, start);
    auto it = e.rowLayouts.find(start);
    if (it == e.rowLayouts.end()) {
        const qsizetype end = rowEnd(line, start);
        it = e.rowLayouts.emplace(start, layOut(m_buffer->paragraph(line).sliced(start, end - start),
                                                Purpose::DrawRow)).first;
    }
    return { it->second.get(), 0, start };
}

void RowCache::lineChanged(qsizetype line, qsizetype column)
{
    const auto it = m_entries.find(line);
    if (it == m_entries.end())
        return;
    Entry &e = it->second;
    const QString &text = m_buffer->paragraph(line);
    if (e.whole || text.size() <= s_pieceLength) {
        m_entries.erase(it);
        return;
    }
    // A row's end depends on the text up to two break opportunities past it, where
    // QTextLayout decides whether the pending word and its blanks still fit. So the rows
    // that end before the third opportunity before the edit stay. A run without enough
    // opportunities is wrapped anywhere, which looks no further than the next row.
    std::vector<qsizetype> &starts = e.main.starts;
    const qsizetype window = qMax<qsizetype>(64, 2 * s_pieceLength);
    const qsizetype from = qMax<qsizetype>(0, column - window);
    QTextBoundaryFinder finder(QTextBoundaryFinder::Line, QStringView(text).sliced(from, qMin(column, text.size()) - from));
    finder.toEnd();
    qsizetype opportunity = -1;
    for (int found = 0; found < 4; ++found) {
        const qsizetype at = finder.toPreviousBoundary();
        if (at <= 0)
            break;
        if (found == 3)
            opportunity = from + at;
    }
    qsizetype keep = 0;
    if (opportunity > 0) {
        keep = qMax<qsizetype>(0, (std::lower_bound(starts.cbegin(), starts.cend(), opportunity) - starts.cbegin()) - 1);
    } else if (from > 0) {
        keep = qMax<qsizetype>(0, (std::lower_bound(starts.cbegin(), starts.cend(), from) - starts.cbegin()) - 3);
    }
    starts.resize(keep + 1);
    e.main.complete = false;
    e.island.reset();
    e.rowLayouts.clear();
}

// The entries moved out so far are lost when a move fails: then nothing is kept.
void RowCache::linesReplaced(qsizetype first, qsizetype removed, qsizetype inserted)
{
    std::unordered_map<qsizetype, Entry> moved;
    try {
        for (auto &[line, e] : m_entries) {
            if (line < first)
                moved.emplace(line, std::move(e));
            else if (line >= first + removed)
                moved.emplace(line - removed + inserted, std::move(e));
        }
    } catch (...) {
        m_entries.clear();
        throw;
    }
    m_entries = std::move(moved);
}

bool RowCache::indexSome(int budgetMs)
{
    const QDeadlineTimer deadline(budgetMs);
    bool more = false;
    for (auto &[line, e] : m_entries) {
        const QString &text = m_buffer->paragraph(line);
        while (!e.main.complete && !deadline.hasExpired())
            indexPiece(e, text);
        more = more || !e.main.complete;
    }
    return more;
}

void RowCache::trim(qsizetype first, qsizetype last)
{
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        const bool near = it->first >= first - keptLines && it->first <= last + keptLines;
        if (!near && it->second.whole && m_entries.size() >= size_t(4 * keptLines)) {
            it = m_entries.erase(it);
            continue;
        }
        if (!near || it->second.rowLayouts.size() > 512)
            it->second.rowLayouts.clear();
        ++it;
    }
}
