#include "textarea/rowcache.h"

#include <QDeadlineTimer>
#include <QFontMetricsF>
#include <QtMath>

#include <algorithm>
#include <cmath>

namespace {

qsizetype s_pieceLength = 4096;

// Rows kept around the ones on screen, and the size of a drawing piece of a long line.
constexpr qsizetype keptLines = 256;
constexpr qsizetype piecesRows = 32;

} // namespace

RowCache::RowCache(const TextBuffer *buffer)
    : m_buffer(buffer)
{
}

qsizetype RowCache::pieceLength()
{
    return s_pieceLength;
}

void RowCache::setPieceLength(qsizetype length)
{
    s_pieceLength = qMax<qsizetype>(8, length);
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

// A layout kept for drawing keeps its glyphs; one made only to find rows does not.
std::unique_ptr<QTextLayout> RowCache::layOut(const QString &text, bool forDrawing) const
{
    auto layout = std::make_unique<QTextLayout>(text, m_font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout->setTextOption(option);
    layout->setCacheEnabled(forDrawing);
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

RowCache::Entry &RowCache::entry(qsizetype line)
{
    auto it = m_entries.find(line);
    if (it != m_entries.end())
        return it->second;
    Entry &e = m_entries[line];
    const QString &text = m_buffer->paragraph(line);
    if (text.size() <= s_pieceLength) {
        e.whole = layOut(text);
        e.starts.clear();
        for (int i = 0; i < e.whole->lineCount(); ++i)
            e.starts.push_back(e.whole->lineAt(i).textStart());
        e.complete = true;
    }
    return e;
}

void RowCache::indexPiece(Entry &e, const QString &text)
{
    const qsizetype from = e.starts.back();
    for (qsizetype length = s_pieceLength;; length *= 2) {
        qsizetype to = qMin(text.size(), from + length);
        if (to < text.size() && text.at(to).isLowSurrogate())
            ++to;
        const auto layout = layOut(text.sliced(from, to - from), false);
        const int rows = layout->lineCount();
        if (to == text.size() || rows >= 2) {
            for (int i = 1; i < rows; ++i)
                e.starts.push_back(from + layout->lineAt(i).textStart());
            e.complete = to == text.size();
            return;
        }
    }
}

void RowCache::indexTo(Entry &e, const QString &text, qsizetype rows, qsizetype column)
{
    while (!e.complete && (qsizetype(e.starts.size()) <= rows || e.starts.back() <= column))
        indexPiece(e, text);
}

qsizetype RowCache::rowCount(qsizetype line)
{
    Entry &e = entry(line);
    indexTo(e, m_buffer->paragraph(line), std::numeric_limits<qsizetype>::max(), 0);
    return e.starts.size();
}

qsizetype RowCache::estimatedRowCount(qsizetype line)
{
    Entry &e = entry(line);
    if (e.complete)
        return e.starts.size();
    const qsizetype known = e.starts.size() - 1;
    const qsizetype rest = m_buffer->paragraph(line).size() - e.starts.back();
    const qreal perRow = known > 0 ? qreal(e.starts.back()) / known : m_width / m_averageCharWidth;
    return known + qMax<qsizetype>(1, qsizetype(std::ceil(rest / qMax<qreal>(1, perRow))));
}

bool RowCache::isComplete(qsizetype line)
{
    return entry(line).complete;
}

bool RowCache::hasRow(qsizetype line, qsizetype row)
{
    Entry &e = entry(line);
    indexTo(e, m_buffer->paragraph(line), row, -1);
    return row >= 0 && row < qsizetype(e.starts.size());
}

qsizetype RowCache::rowStart(qsizetype line, qsizetype row)
{
    Entry &e = entry(line);
    indexTo(e, m_buffer->paragraph(line), row, -1);
    return e.starts.at(std::clamp<qsizetype>(row, 0, e.starts.size() - 1));
}

qsizetype RowCache::rowEnd(qsizetype line, qsizetype row)
{
    Entry &e = entry(line);
    indexTo(e, m_buffer->paragraph(line), row + 1, -1);
    if (row + 1 < qsizetype(e.starts.size()))
        return e.starts.at(qMax<qsizetype>(0, row + 1));
    return m_buffer->paragraph(line).size();
}

qsizetype RowCache::rowOfColumn(qsizetype line, qsizetype column)
{
    Entry &e = entry(line);
    indexTo(e, m_buffer->paragraph(line), 0, column);
    const auto it = std::upper_bound(e.starts.cbegin(), e.starts.cend(), column);
    return qMax<qsizetype>(0, (it - e.starts.cbegin()) - 1);
}

RowCache::DrawRow RowCache::drawRow(qsizetype line, qsizetype row)
{
    Entry &e = entry(line);
    if (e.whole)
        return { e.whole.get(), int(std::clamp<qsizetype>(row, 0, e.whole->lineCount() - 1)), 0 };
    const QString &text = m_buffer->paragraph(line);
    const qsizetype first = row / piecesRows * piecesRows;
    for (const Piece &piece : e.pieces) {
        if (piece.firstRow == first)
            return { piece.layout.get(), int(qMin<qsizetype>(row - first, piece.layout->lineCount() - 1)),
                     e.starts.at(first) };
    }
    const qsizetype from = rowStart(line, first);
    const qsizetype to = rowEnd(line, first + piecesRows - 1);
    Piece piece{ first, layOut(text.sliced(from, to - from)) };
    e.pieces.push_back(std::move(piece));
    const QTextLayout *layout = e.pieces.back().layout.get();
    return { layout, int(qMin<qsizetype>(row - first, layout->lineCount() - 1)), from };
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
    // A row before the edit can change only when the word that reaches into the edited
    // row moves up. Its row is found from the last blank before the edit; a run without
    // blanks longer than a piece wraps anywhere, and there the row before the edit is far
    // enough back.
    const qsizetype searchFrom = qMin(column - 2, text.size() - 1);
    qsizetype blank = -1;
    for (qsizetype i = searchFrom; i >= 0 && i > column - s_pieceLength; --i) {
        if (text.at(i).isSpace()) {
            blank = i;
            break;
        }
    }
    qsizetype keep;
    if (blank >= 0) {
        const auto at = std::upper_bound(e.starts.cbegin(), e.starts.cend(), blank);
        keep = qMax<qsizetype>(0, (at - e.starts.cbegin()) - 1);
    } else if (column - s_pieceLength > 0) {
        const auto at = std::upper_bound(e.starts.cbegin(), e.starts.cend(), column);
        keep = qMax<qsizetype>(0, (at - e.starts.cbegin()) - 3);
    } else {
        keep = 0;
    }
    e.starts.resize(keep + 1);
    e.complete = false;
    e.pieces.clear();
}

void RowCache::linesReplaced(qsizetype first, qsizetype removed, qsizetype inserted)
{
    std::unordered_map<qsizetype, Entry> moved;
    for (auto &[line, e] : m_entries) {
        if (line < first)
            moved.emplace(line, std::move(e));
        else if (line >= first + removed)
            moved.emplace(line - removed + inserted, std::move(e));
    }
    m_entries = std::move(moved);
}

bool RowCache::indexSome(int budgetMs)
{
    const QDeadlineTimer deadline(budgetMs);
    bool more = false;
    for (auto &[line, e] : m_entries) {
        const QString &text = m_buffer->paragraph(line);
        while (!e.complete && !deadline.hasExpired())
            indexPiece(e, text);
        more = more || !e.complete;
    }
    return more;
}

void RowCache::trim(qsizetype first, qsizetype last)
{
    if (m_entries.size() < size_t(4 * keptLines))
        return;
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        const bool near = it->first >= first - keptLines && it->first <= last + keptLines;
        if (near) {
            ++it;
        } else if (it->second.whole) {
            it = m_entries.erase(it);
        } else {
            it->second.pieces.clear();
            ++it;
        }
    }
}
