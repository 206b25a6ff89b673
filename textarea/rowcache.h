#pragma once

#include "worklist/textbuffer.h"

#include <QFont>
#include <QTextLayout>

#include <memory>
#include <unordered_map>
#include <vector>

// The display rows that word wrap makes of the buffer's paragraphs, for the paragraphs
// the view asks about. A paragraph of at most pieceLength() units is laid out whole with
// one QTextLayout, kept for drawing. A longer one is laid out in pieces: each piece keeps
// its complete rows but the last, and the next piece starts at that last row's start,
// which gives the greedy wrap of one layout of the whole paragraph. Its rows are found
// as far as they are asked for, and further by indexSome() in short steps; until then
// estimatedRowCount() guesses from its length. Entries are dropped on edits of their
// paragraph and on a change of font or width.
class RowCache
{
public:
    explicit RowCache(const TextBuffer *buffer);

    static qsizetype pieceLength();
    // Tests lay long paragraphs out in small pieces to reach that path with short texts.
    static void setPieceLength(qsizetype length);

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
    qsizetype rowCount(qsizetype line);
    qsizetype estimatedRowCount(qsizetype line);
    bool isComplete(qsizetype line);
    // Whether the paragraph has that row; finds its rows up to it.
    bool hasRow(qsizetype line, qsizetype row);
    qsizetype rowStart(qsizetype line, qsizetype row);
    qsizetype rowEnd(qsizetype line, qsizetype row);
    qsizetype rowOfColumn(qsizetype line, qsizetype column);

    // The laid-out row to draw or to map x to a column; offset is the column of the
    // layout's first unit in the paragraph.
    struct DrawRow
    {
        const QTextLayout *layout = nullptr;
        int index = 0;
        qsizetype offset = 0;
        QTextLine textLine() const { return layout->lineAt(index); }
    };
    DrawRow drawRow(qsizetype line, qsizetype row);

    // Finds more rows of the long paragraphs in the cache for about budgetMs; returns
    // whether some are still incomplete.
    bool indexSome(int budgetMs);
    // Forgets the paragraphs far from [first, last], keeping the rows found in long ones.
    void trim(qsizetype first, qsizetype last);

private:
    struct Piece
    {
        qsizetype firstRow = 0;
        std::unique_ptr<QTextLayout> layout;
    };
    struct Entry
    {
        // The row starts found so far; starts.front() is 0. While incomplete, the last
        // one starts the row that the next piece lays out.
        std::vector<qsizetype> starts{ 0 };
        bool complete = false;
        std::unique_ptr<QTextLayout> whole;
        std::vector<Piece> pieces;
    };

    Entry &entry(qsizetype line);
    void indexPiece(Entry &entry, const QString &text);
    void indexTo(Entry &entry, const QString &text, qsizetype rows, qsizetype column);
    std::unique_ptr<QTextLayout> layOut(const QString &text, bool forDrawing = true) const;

    const TextBuffer *m_buffer;
    QFont m_font;
    qreal m_width = 100;
    qreal m_averageCharWidth = 6;
    int m_rowHeight = 1;
    std::unordered_map<qsizetype, Entry> m_entries;
};
