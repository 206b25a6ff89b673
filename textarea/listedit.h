#pragma once

#include "textarea/rowcache.h"
#include "worklist/textbuffer.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QStringList>

QT_BEGIN_NAMESPACE
class QMimeData;
QT_END_NAMESPACE

// The multi-line text area that holds the working list. The text is a TextBuffer, one
// array of paragraphs; only the rows on screen are laid out (RowCache), wrapped at the
// viewport's width as QTextOption::WrapAtWordBoundaryOrAnywhere wraps, so that putting
// in millions of lines costs no layout. The vertical scroll bar is always shown, never a
// horizontal one; the view scrolls by paragraphs, with a row offset inside the first one,
// and inside a long paragraph by rows. It edits as a plain text area does (keys, mouse,
// input methods, undo, clipboard and X11 primary selection, plain-text drops) and has no
// context menu of its own: mouse, wheel, drag and context-menu events reach its viewport,
// keys, focus and input-method events the area, so that event filters on either see them
// first. The selection is drawn only while the area has the focus.
//
// No exception leaves a handler of the area: every event of the area and of its viewport,
// and every question Qt asks it, runs in guarded(), and an error is reported with
// reportErrorLater(). Its public functions and slots throw as the buffer does (an edit that
// fails leaves the text as it was), so a connection to them wraps them in its own guard.
class ListEdit : public QAbstractScrollArea
{
    Q_OBJECT

public:
    explicit ListEdit(QWidget *parent = nullptr);

    const TextBuffer &buffer() const { return m_buffer; }
    qsizetype lineCount() const { return m_buffer.lineCount(); }
    QString line(qsizetype index) const { return m_buffer.line(index); }
    QStringList lines() const { return m_buffer.lines(); }
    QString text() const { return m_buffer.text(); }
    QString textWithCrLf() const { return m_buffer.textWithCrLf(); }
    bool isEmpty() const { return m_buffer.isEmpty(); }

    // The text becomes each line followed by a break, the caret at its end. Undoable
    // makes it one undo step; otherwise the history is cleared.
    void setLines(QStringList lines, ReplaceMode mode = ReplaceMode::NotRecorded);
    // A load: the text with '\n' breaks, or its paragraphs; the caret at the start. The
    // same text as now changes nothing, not even the caret or the scroll position.
    void setLoadedText(const QString &text);
    void loadParagraphs(QStringList paragraphs, ReplaceMode mode = ReplaceMode::NotRecorded);

    TextPosition caretPosition() const { return m_buffer.caret(); }
    TextPosition anchorPosition() const { return m_buffer.anchor(); }
    void setCaretPosition(TextPosition position, bool keepAnchor = false);
    void setSelection(TextPosition anchor, TextPosition caret);
    bool hasSelection() const { return m_buffer.hasSelection(); }
    // With '\n' breaks; copy and cut give CR LF.
    QString selectedText() const { return m_buffer.selectedText(); }
    bool isUndoAvailable() const { return m_buffer.canUndo(); }
    bool isRedoAvailable() const { return m_buffer.canRedo(); }

    enum class Move {
        NextCharacter, PreviousCharacter, NextWord, PreviousWord, Up, Down,
        StartOfRow, EndOfRow, StartOfText, EndOfText, NextPage, PreviousPage,
    };
    void moveCaret(Move move, bool keepAnchor = false);
    // Puts text in place of the selection as one undo step, as a paste does.
    void insertText(const QString &text);
    void deleteBackward();
    void deleteForward();
    void deleteWordBackward();
    void deleteWordForward();

    // The display rows of paragraph line as the wrap from its start gives them at the
    // current width, which is the viewport's less a margin on each side. Asking for them
    // finds all of them.
    qreal wrapWidth() const { return m_rows.width(); }
    qsizetype rowCount(qsizetype line) const;
    QString rowText(qsizetype line, qsizetype row) const;
    // The first display row on screen: its paragraph and the column it starts at.
    TextPosition topRow() const { return { m_topLine, m_topStart }; }
    // The text of the display row that holds the lower end of the selection (the caret
    // when nothing is selected), without a line or paragraph separator that ends it, at
    // most 4096 units.
    QString caretRowText() const;
    // The area's position for a point of the viewport.
    TextPosition positionAt(QPoint point) const;
    // The caret's rectangle at position in viewport coordinates, empty when its row is
    // off screen.
    QRect positionRect(TextPosition position) const;
    QRect caretRect() const { return positionRect(m_buffer.caret()); }
    // The columns [start, end) of the display row that holds position.
    std::pair<qsizetype, qsizetype> rowColumns(TextPosition position) const;

    // The selection with CR LF breaks as text/plain, every character kept, already encoded
    // (ClipboardText).
    QMimeData *createMimeDataFromSelection() const;

    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

public slots:
    void selectAll();
    void copy();
    void cut();
    void paste();
    void undo();
    void redo();

signals:
    void textChanged();
    void selectionChanged();
    void cursorPositionChanged();
    void copyAvailable(bool available);
    void undoAvailable(bool available);
    void redoAvailable(bool available);

protected:
    bool event(QEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void timerEvent(QTimerEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    // A display row: its paragraph and the column it starts at.
    struct Row
    {
        qsizetype line = 0;
        qsizetype start = 0;
        friend bool operator==(const Row &, const Row &) = default;
        friend auto operator<=>(const Row &, const Row &) = default;
    };
    struct State
    {
        TextPosition caret;
        TextPosition anchor;
        bool canUndo = false;
        bool canRedo = false;
    };

    bool handleEvent(QEvent *event);
    QVariant inputMethodAnswer(Qt::InputMethodQuery query) const;
    State state() const;
    void finish(const State &before, const TextChange &change, bool showCaret = true);
    void applyChange(const TextChange &change);
    void adjustTop(const TextChange &change);
    void notifyAccessibility(const State &before, const TextChange &change);
    void updateLongLines(const TextChange &change);
    void updateFont();
    void updateWidth();
    void updatePrimarySelection();
    void restartBlinking();

    int rowHeight() const { return m_rowHeight; }
    int visibleRows() const;
    bool nextRow(Row &row) const;
    bool previousRow(Row &row) const;
    Row rowOf(TextPosition position) const;
    Row clampedRow(Row row) const;
    qsizetype rowEndCaret(Row row) const;
    Row top() const { return { m_topLine, m_topStart }; }
    TextPosition positionInRow(Row row, qreal x) const;
    qreal caretX(TextPosition position) const;
    void setTop(Row row);
    void scrollRows(qsizetype rows);
    void ensureCaretVisible();
    void updateScrollBar();
    qsizetype unitsBefore(qsizetype line) const;
    qsizetype unitOf(Row row) const;
    Row rowAtUnit(qsizetype unit) const;
    Row maxTop() const;
    void extendSelectionTo(QPoint point);
    void scheduleIndexing();

    TextBuffer m_buffer;
    // Laying out rows to answer a question changes nothing that can be seen.
    mutable RowCache m_rows{ &m_buffer };
    // The paragraphs longer than a layout piece, which the scroll bar counts by rows.
    std::vector<qsizetype> m_longLines;
    qsizetype m_topLine = 0;
    qsizetype m_topStart = 0;
    int m_rowHeight = 1;
    qreal m_preferredX = -1;
    bool m_updatingScrollBar = false;
    bool m_paintFailed = false;

    QBasicTimer m_blinkTimer;
    bool m_caretShown = true;
    QBasicTimer m_autoScrollTimer;
    QBasicTimer m_indexTimer;
    QPoint m_lastMousePos;
    bool m_selecting = false;
    bool m_wordSelecting = false;
    std::pair<TextPosition, TextPosition> m_wordAnchor;

    QString m_preedit;
    int m_preeditCursor = 0;
    bool m_dropCaretShown = false;
    TextPosition m_dropCaret;
};
