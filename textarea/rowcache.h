#pragma once

#include "worklist/textbuffer.h"

#include <QFont>
#include <QTextLayout>

#include <map>
#include <memory>
#include <unordered_map>
#include <vector>

// The display rows that word wrap makes of the buffer's paragraphs, for the paragraphs
// the view asks about. A row is named by the column it starts at. A paragraph of at most
// pieceLength() units is laid out whole with one QTextLayout, kept for drawing. A longer
// one is laid out in pieces: each piece keeps its rows but the last three, and the next
// piece starts at the first row it did not keep, which gives the greedy wrap of one
// layout of the whole paragraph. Its rows are found from its start as far as they are asked
// for, and further by indexSome() in short steps.
//
// A row asked for farther than farDistance() units past the rows found so far is not
// waited for: the rows around it are laid out from a blank before it (an island), which
// is how they will come out unless the wrap from the paragraph's start does not meet
// that blank. When the rows from the start reach the island they take its rows over if
// they meet one of its row starts, and replace them otherwise. Row numbers (rowIndex())
// are estimates past the rows found from the start, and so is estimatedRowCount().
// Entries are dropped on edits of their paragraph and on a change of font or width.
class RowCache
{
public:
    explicit RowCache(const TextBuffer *buffer);

    static qsizetype pieceLength();
    static qsizetype farDistance();
    // Tests lay long paragraphs out in small pieces, and make islands close by, to reach
    // those paths with short texts.
    static void setPieceLength(qsizetype length);
    static void setFarDistance(qsizetype distance);

    // Every row is rowHeight() high: the font's height, rounded up.
    void setFont(const QFont &font);
    int rowHeight() const { return m_rowHeight; }
    void setWidth(qreal width);
    qreal width() const { return m_width; }
    void clear();
    // Paragraph line changed from column on; the rows before it stay.
    void lineChanged(qsizetype line, qsizetype column);
    void linesReplaced(qsizetype first, qsizetype removed, qsizetype inserted);

    bool isLong(qsizetype line) const;
    // The start of the row that holds column (the last row for the paragraph's end).
    qsizetype rowStartFor(qsizetype line, qsizetype column);
    // The end of the row that starts at start, and the start of the row after it, or -1.
    qsizetype rowEnd(qsizetype line, qsizetype start);
    qsizetype nextRowStart(qsizetype line, qsizetype start);
    // The start of the row before the one that starts at start > 0.
    qsizetype previousRowStart(qsizetype line, qsizetype start);

    qsizetype rowIndex(qsizetype line, qsizetype start);
    qsizetype rowStartAtIndex(qsizetype line, qsizetype index);
    qsizetype estimatedRowCount(qsizetype line);
    // The rows as the wrap from the paragraph's start gives them, all of them found now.
    const std::vector<qsizetype> &exactRowStarts(qsizetype line);

    // The laid-out row to draw or to map x to a column; offset is the column of the
    // layout's first unit in the paragraph.
    struct DrawRow
    {
        const QTextLayout *layout = nullptr;
        int index = 0;
        qsizetype offset = 0;
        QTextLine textLine() const { return layout->lineAt(index); }
    };
    DrawRow drawRow(qsizetype line, qsizetype start);

    // Finds more rows of the long paragraphs in the cache for about budgetMs; returns
    // whether some are still incomplete.
    bool indexSome(int budgetMs);
    // Forgets the paragraphs far from [first, last], keeping the rows found in long ones.
    void trim(qsizetype first, qsizetype last);

private:
    // Row starts found by laying out from starts.front(); while incomplete, the last one
    // starts the row that the next piece lays out.
    struct Rows
    {
        std::vector<qsizetype> starts;
        bool complete = false;
        bool covers(qsizetype column) const;
        qsizetype startFor(qsizetype column) const;
    };
    struct Entry
    {
        Rows main{ { 0 }, false };
        std::unique_ptr<Rows> island;
        // The island's rows from this start on are its own wrap; the rows before it were
        // laid out to meet it and the last of them may end early.
        qsizetype islandExactFrom = 0;
        std::unique_ptr<QTextLayout> whole;
        std::map<qsizetype, std::unique_ptr<QTextLayout>> rowLayouts;
    };

    Entry &entry(qsizetype line);
    void layOutPiece(Rows &rows, const QString &text) const;
    void indexPiece(Entry &entry, const QString &text);
    void placeIsland(Entry &entry, const QString &text, qsizetype column);
    void extendIslandBack(Entry &entry, const QString &text, qsizetype column);
    void resolve(Entry &entry, const QString &text, qsizetype column);
    qsizetype islandFirstRow(const Entry &entry) const;
    qreal averageRowLength(const Entry &entry) const;
    qsizetype blankBefore(const QString &text, qsizetype column) const;
    enum class Purpose { DrawParagraph, DrawRow, FindRows };
    std::unique_ptr<QTextLayout> layOut(const QString &text, Purpose purpose) const;

    const TextBuffer *m_buffer;
    QFont m_font;
    qreal m_width = 100;
    qreal m_averageCharWidth = 6;
    int m_rowHeight = 1;
    std::unordered_map<qsizetype, Entry> m_entries;
};
