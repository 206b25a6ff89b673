#include "textarea/listedit.h"

#include "textarea/clipboardtext.h"
#include "textarea/listeditaccessible.h"

#include "base/boundary.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QInputMethod>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleHints>
#include <QTextLayout>

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int horizontalMargin = 4;
constexpr int topMargin = 2;
constexpr qsizetype caretRowTextLimit = 4096;
// The part of the caret's paragraph that input methods see around the caret.
constexpr qsizetype surroundingWindow = 512;
constexpr int indexBudgetMs = 8;

bool isAcceptableInput(const QKeyEvent *event)
{
    const QString text = event->text();
    if (text.isEmpty())
        return false;
    const QChar c = text.at(0);
    if (c.category() == QChar::Other_Format)
        return true;
    // Ctrl and Ctrl+Shift are commands; AltGr (Ctrl+Alt) still types.
    if (event->modifiers() == Qt::ControlModifier
        || event->modifiers() == (Qt::ShiftModifier | Qt::ControlModifier))
        return false;
    if (c.isPrint() || c.category() == QChar::Other_PrivateUse)
        return true;
    return c.isHighSurrogate() && text.size() > 1 && text.at(1).isLowSurrogate();
}

bool isRedo(const QKeyEvent *event)
{
    const QKeyCombination key = event->keyCombination();
    return event->matches(QKeySequence::Redo)
            || key == QKeyCombination(Qt::ControlModifier, Qt::Key_Y)
            || key == QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_Z);
}

} // namespace

ListEdit::ListEdit(QWidget *parent)
    : QAbstractScrollArea(parent)
{
    ListEditAccessible::install();
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    setAcceptDrops(true);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setAcceptDrops(true);
    updateFont();
    updateScrollBar();
}

ListEdit::State ListEdit::state() const
{
    return { m_buffer.caret(), m_buffer.anchor(), m_buffer.canUndo(), m_buffer.canRedo() };
}

void ListEdit::updateLongLines(const TextChange &change)
{
    const qsizetype end = change.firstLine + change.removedLines;
    const qsizetype shift = change.insertedLines - change.removedLines;
    std::vector<qsizetype> kept;
    kept.reserve(m_longLines.size());
    for (const qsizetype line : m_longLines) {
        if (line < change.firstLine)
            kept.push_back(line);
    }
    for (qsizetype line = change.firstLine; line < change.firstLine + change.insertedLines; ++line) {
        if (m_rows.isLong(line))
            kept.push_back(line);
    }
    for (const qsizetype line : m_longLines) {
        if (line >= end)
            kept.push_back(line + shift);
    }
    m_longLines = std::move(kept);
}

// The buffer has changed already. When following it fails, as it may when memory is
// short, the rows kept and the long lines are let go: the view then lays out again what
// it shows, and counts long lines by their rows again as they change.
void ListEdit::applyChange(const TextChange &change)
{
    try {
        if (change.whole)
            m_rows.clear();
        else if (change.removedLines == 1 && change.insertedLines == 1)
            m_rows.lineChanged(change.firstLine, change.column);
        else
            m_rows.linesReplaced(change.firstLine, change.removedLines, change.insertedLines);
        updateLongLines(change);
    } catch (...) {
        m_rows.clear();
        m_longLines.clear();
        adjustTop(change);
        throw;
    }
    adjustTop(change);
    const Row top = clampedRow({ m_topLine, m_topStart });
    m_topLine = top.line;
    m_topStart = top.start;
    scheduleIndexing();
}

// The top row follows the paragraphs the change moved; it stays a paragraph of the text.
void ListEdit::adjustTop(const TextChange &change)
{
    if (m_topLine >= change.firstLine + change.removedLines) {
        m_topLine += change.insertedLines - change.removedLines;
    } else if (m_topLine > change.firstLine) {
        m_topLine = change.firstLine;
        m_topStart = 0;
    }
}

void ListEdit::finish(const State &before, const TextChange &change, bool showCaret)
{
    if (change.changed)
        applyChange(change);
    const State after = state();
    const bool moved = after.caret != before.caret;
    const bool selectionMoved = moved || after.anchor != before.anchor;
    if (moved || change.changed)
        m_preferredX = -1;
    if (showCaret && (selectionMoved || change.changed))
        ensureCaretVisible();
    updateScrollBar();
    restartBlinking();
    viewport()->update();

    notifyAccessibility(before, change);
    if (hasFocus() && (selectionMoved || change.changed))
        QGuiApplication::inputMethod()->update(Qt::ImQueryInput);

    if (change.changed)
        emit textChanged();
    if (selectionMoved && (before.caret != before.anchor || after.caret != after.anchor))
        emit selectionChanged();
    if (moved || change.changed)
        emit cursorPositionChanged();
    if ((before.caret != before.anchor) != (after.caret != after.anchor))
        emit copyAvailable(after.caret != after.anchor);
    if (before.canUndo != after.canUndo)
        emit undoAvailable(after.canUndo);
    if (before.canRedo != after.canRedo)
        emit redoAvailable(after.canRedo);
}

void ListEdit::notifyAccessibility(const State &before, const TextChange &change)
{
    if (!QAccessible::isActive())
        return;
    if (change.changed) {
        if (change.whole) {
            QAccessibleTextUpdateEvent event(this, 0, QString(), m_buffer.text());
            QAccessible::updateAccessibility(&event);
        } else {
            const int offset = int(m_buffer.offsetOf(change.start));
            if (change.removed.isEmpty()) {
                QAccessibleTextInsertEvent event(this, offset, change.inserted);
                QAccessible::updateAccessibility(&event);
            } else if (change.inserted.isEmpty()) {
                QAccessibleTextRemoveEvent event(this, offset, change.removed);
                QAccessible::updateAccessibility(&event);
            } else {
                QAccessibleTextUpdateEvent event(this, offset, change.removed, change.inserted);
                QAccessible::updateAccessibility(&event);
            }
        }
    }
    const State after = state();
    if (after.caret != before.caret || change.changed) {
        QAccessibleTextCursorEvent event(this, int(m_buffer.offsetOf(after.caret)));
        QAccessible::updateAccessibility(&event);
    }
    if (after.caret != before.caret || after.anchor != before.anchor) {
        QAccessibleTextSelectionEvent event(this, int(m_buffer.offsetOf(m_buffer.selectionStart())),
                                            int(m_buffer.offsetOf(m_buffer.selectionEnd())));
        QAccessible::updateAccessibility(&event);
    }
}

void ListEdit::setLines(QStringList lines, ReplaceMode mode)
{
    const State before = state();
    finish(before, m_buffer.setLines(std::move(lines), mode));
}

void ListEdit::setLoadedText(const QString &text)
{
    const State before = state();
    finish(before, m_buffer.loadText(text));
}

void ListEdit::loadParagraphs(QStringList paragraphs, ReplaceMode mode)
{
    const State before = state();
    finish(before, m_buffer.loadParagraphs(std::move(paragraphs), mode));
}

void ListEdit::setCaretPosition(TextPosition position, bool keepAnchor)
{
    const State before = state();
    m_buffer.setCaret(position, keepAnchor);
    finish(before, {});
}

void ListEdit::setSelection(TextPosition anchor, TextPosition caret)
{
    const State before = state();
    m_buffer.setSelection(anchor, caret);
    finish(before, {});
}

void ListEdit::selectAll()
{
    const State before = state();
    m_buffer.selectAll();
    finish(before, {}, false);
    updatePrimarySelection();
}

void ListEdit::insertText(const QString &text)
{
    const State before = state();
    finish(before, m_buffer.insert(text));
}

void ListEdit::deleteBackward()
{
    const State before = state();
    finish(before, m_buffer.deleteBackward());
}

void ListEdit::deleteForward()
{
    const State before = state();
    finish(before, m_buffer.deleteForward());
}

void ListEdit::deleteWordBackward()
{
    const State before = state();
    finish(before, m_buffer.deleteWordBackward());
}

void ListEdit::deleteWordForward()
{
    const State before = state();
    finish(before, m_buffer.deleteWordForward());
}

QMimeData *ListEdit::createMimeDataFromSelection() const
{
    return new ClipboardText(m_buffer.selectedUtf8WithCrLf());
}

void ListEdit::copy()
{
    if (m_buffer.hasSelection())
        QGuiApplication::clipboard()->setMimeData(createMimeDataFromSelection());
}

void ListEdit::cut()
{
    if (!m_buffer.hasSelection())
        return;
    copy();
    const State before = state();
    finish(before, m_buffer.removeSelection());
}

void ListEdit::paste()
{
    const QString text = QGuiApplication::clipboard()->text(QClipboard::Clipboard);
    if (!text.isEmpty())
        insertText(text);
}

void ListEdit::undo()
{
    const State before = state();
    finish(before, m_buffer.undo());
}

void ListEdit::redo()
{
    const State before = state();
    finish(before, m_buffer.redo());
}

// X11 keeps the last selection made anywhere; it is not cleared when the selection goes.
void ListEdit::updatePrimarySelection()
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (!m_buffer.hasSelection() || !clipboard->supportsSelection())
        return;
    clipboard->setMimeData(createMimeDataFromSelection(), QClipboard::Selection);
}

void ListEdit::updateFont()
{
    m_rows.setFont(font());
    m_rowHeight = m_rows.rowHeight();
    updateWidth();
}

// A view made larger shows rows above rather than empty space below the last row, as the
// scroll bar's maximum does: a list put in while the window was still small is seen from
// its start once the window has its size.
void ListEdit::updateWidth()
{
    m_rows.setWidth(viewport()->width() - 2 * horizontalMargin);
    const Row top = std::min(clampedRow({ m_topLine, m_topStart }), maxTop());
    m_topLine = top.line;
    m_topStart = top.start;
    updateScrollBar();
    scheduleIndexing();
    viewport()->update();
}

void ListEdit::restartBlinking()
{
    m_caretShown = true;
    const int flashTime = QGuiApplication::styleHints()->cursorFlashTime();
    if (hasFocus() && flashTime >= 2)
        m_blinkTimer.start(flashTime / 2, this);
    else
        m_blinkTimer.stop();
}

void ListEdit::scheduleIndexing()
{
    if (!m_longLines.empty() && !m_indexTimer.isActive())
        m_indexTimer.start(0, this);
}

int ListEdit::visibleRows() const
{
    return qMax(1, (viewport()->height() - topMargin) / m_rowHeight);
}

bool ListEdit::nextRow(Row &row) const
{
    const qsizetype next = m_rows.nextRowStart(row.line, row.start);
    if (next >= 0) {
        row.start = next;
        return true;
    }
    if (row.line + 1 < m_buffer.paragraphCount()) {
        row = { row.line + 1, 0 };
        return true;
    }
    return false;
}

bool ListEdit::previousRow(Row &row) const
{
    if (row.start > 0) {
        row.start = m_rows.previousRowStart(row.line, row.start);
        return true;
    }
    if (row.line > 0) {
        row = { row.line - 1, m_rows.rowStartFor(row.line - 1, m_buffer.paragraph(row.line - 1).size()) };
        return true;
    }
    return false;
}

ListEdit::Row ListEdit::rowOf(TextPosition position) const
{
    return { position.line, m_rows.rowStartFor(position.line, position.column) };
}

ListEdit::Row ListEdit::clampedRow(Row row) const
{
    row.line = std::clamp<qsizetype>(row.line, 0, m_buffer.paragraphCount() - 1);
    row.start = m_rows.rowStartFor(row.line, row.start);
    return row;
}

// The caret position that ends a row: before the blank that wrapping left at the end of
// a row that another row of the paragraph follows, as Qt's text widgets place it.
qsizetype ListEdit::rowEndCaret(Row row) const
{
    const qsizetype end = m_rows.rowEnd(row.line, row.start);
    const QString &text = m_buffer.paragraph(row.line);
    if (end < text.size() && end > row.start && text.at(end - 1).isSpace())
        return end - 1;
    return end;
}

TextPosition ListEdit::positionInRow(Row row, qreal x) const
{
    const RowCache::DrawRow draw = m_rows.drawRow(row.line, row.start);
    qsizetype column = draw.offset + draw.textLine().xToCursor(x - horizontalMargin);
    const qsizetype end = m_rows.rowEnd(row.line, row.start);
    if (column >= end && end < m_buffer.paragraph(row.line).size())
        column = rowEndCaret(row);
    return m_buffer.clamped({ row.line, std::clamp(column, row.start, end) });
}

qreal ListEdit::caretX(TextPosition position) const
{
    const Row row = rowOf(position);
    const RowCache::DrawRow draw = m_rows.drawRow(row.line, row.start);
    return horizontalMargin + draw.textLine().cursorToX(int(position.column - draw.offset));
}

TextPosition ListEdit::positionAt(QPoint point) const
{
    Row row = top();
    if (point.y() < topMargin) {
        for (int y = topMargin; y > point.y() && previousRow(row); y -= m_rowHeight) {
        }
    } else {
        for (int y = topMargin + m_rowHeight; y <= point.y() && nextRow(row); y += m_rowHeight) {
        }
    }
    return positionInRow(row, point.x());
}

std::pair<qsizetype, qsizetype> ListEdit::rowColumns(TextPosition position) const
{
    position = m_buffer.clamped(position);
    const Row row = rowOf(position);
    return { row.start, m_rows.rowEnd(row.line, row.start) };
}

QRect ListEdit::positionRect(TextPosition position) const
{
    position = m_buffer.clamped(position);
    const Row target = rowOf(position);
    Row row = top();
    for (int i = 0, rows = visibleRows() + 1; i < rows; ++i) {
        if (row == target) {
            const int x = int(caretX(position));
            return QRect(x, topMargin + i * m_rowHeight, 1, m_rowHeight);
        }
        if (!nextRow(row))
            break;
    }
    return {};
}

void ListEdit::setTop(Row row)
{
    row = clampedRow(row);
    m_topLine = row.line;
    m_topStart = row.start;
    updateScrollBar();
    viewport()->update();
}

void ListEdit::scrollRows(qsizetype rows)
{
    Row row = top();
    const Row limit = maxTop();
    for (; rows > 0 && row < limit && nextRow(row); --rows) {
    }
    for (; rows < 0 && previousRow(row); ++rows) {
    }
    setTop(row);
}

void ListEdit::ensureCaretVisible()
{
    const Row caretRow = rowOf(m_buffer.caret());
    if (caretRow < top()) {
        setTop(caretRow);
        return;
    }
    Row row = top();
    const int rows = visibleRows();
    for (int i = 1; i < rows && row != caretRow; ++i) {
        if (!nextRow(row))
            break;
    }
    if (row == caretRow)
        return;
    row = caretRow;
    for (int i = 1; i < rows && previousRow(row); ++i) {
    }
    setTop(row);
}

qsizetype ListEdit::unitsBefore(qsizetype line) const
{
    qsizetype units = line;
    for (const qsizetype longLine : m_longLines) {
        if (longLine >= line)
            break;
        units += m_rows.estimatedRowCount(longLine) - 1;
    }
    return units;
}

qsizetype ListEdit::unitOf(Row row) const
{
    return unitsBefore(row.line) + (m_rows.isLong(row.line) ? m_rows.rowIndex(row.line, row.start) : 0);
}

ListEdit::Row ListEdit::rowAtUnit(qsizetype unit) const
{
    qsizetype extra = 0;
    for (const qsizetype longLine : m_longLines) {
        const qsizetype start = longLine + extra;
        if (unit < start)
            break;
        const qsizetype rows = m_rows.estimatedRowCount(longLine);
        if (unit < start + rows)
            return { longLine, m_rows.rowStartAtIndex(longLine, unit - start) };
        extra += rows - 1;
    }
    return { std::clamp<qsizetype>(unit - extra, 0, m_buffer.paragraphCount() - 1), 0 };
}

// The top row that shows the last row at the bottom.
ListEdit::Row ListEdit::maxTop() const
{
    const qsizetype last = m_buffer.paragraphCount() - 1;
    Row row{ last, m_rows.rowStartFor(last, m_buffer.paragraph(last).size()) };
    for (int left = visibleRows() - 1; left > 0 && previousRow(row); --left) {
    }
    return row;
}

void ListEdit::updateScrollBar()
{
    QScrollBar *bar = verticalScrollBar();
    m_updatingScrollBar = true;
    const qsizetype maximum = qMax(unitOf(maxTop()), unitOf(top()));
    bar->setRange(0, int(qMin<qsizetype>(maximum, std::numeric_limits<int>::max())));
    bar->setPageStep(visibleRows());
    bar->setSingleStep(1);
    bar->setValue(int(qMin<qsizetype>(unitOf(top()), bar->maximum())));
    m_updatingScrollBar = false;
}

// Called from the scroll bar's own slot.
void ListEdit::scrollContentsBy(int, int)
{
    if (m_updatingScrollBar)
        return;
    guarded([this] {
        const qsizetype value = verticalScrollBar()->value();
        if (value != unitOf(top())) {
            const Row row = clampedRow(rowAtUnit(value));
            m_topLine = row.line;
            m_topStart = row.start;
        }
        viewport()->update();
    }, reportErrorLater);
}

qsizetype ListEdit::rowCount(qsizetype line) const
{
    return m_rows.exactRowStarts(line).size();
}

QString ListEdit::rowText(qsizetype line, qsizetype row) const
{
    const std::vector<qsizetype> &starts = m_rows.exactRowStarts(line);
    const QString &text = m_buffer.paragraph(line);
    const qsizetype start = starts.at(row);
    const qsizetype end = row + 1 < qsizetype(starts.size()) ? starts.at(row + 1) : text.size();
    return text.sliced(start, end - start);
}

QString ListEdit::caretRowText() const
{
    const Row row = rowOf(m_buffer.selectionStart());
    qsizetype end = m_rows.rowEnd(row.line, row.start);
    const QString &text = m_buffer.paragraph(row.line);
    if (end > row.start && (text.at(end - 1) == QChar::LineSeparator
                            || text.at(end - 1) == QChar::ParagraphSeparator))
        --end;
    end = qMin(end, row.start + caretRowTextLimit);
    if (end < text.size() && end > row.start && text.at(end).isLowSurrogate()
        && text.at(end - 1).isHighSurrogate())
        --end;
    return text.sliced(row.start, end - row.start);
}

void ListEdit::moveCaret(Move move, bool keepAnchor)
{
    const State before = state();
    const TextPosition caret = m_buffer.caret();
    TextPosition target = caret;
    qreal preferredX = m_preferredX;
    qsizetype scroll = 0;
    switch (move) {
    case Move::NextCharacter:
        if (!keepAnchor && m_buffer.hasSelection())
            target = m_buffer.selectionEnd();
        else
            target = m_buffer.nextCharacter(caret);
        break;
    case Move::PreviousCharacter:
        if (!keepAnchor && m_buffer.hasSelection())
            target = m_buffer.selectionStart();
        else
            target = m_buffer.previousCharacter(caret);
        break;
    case Move::NextWord:
        target = m_buffer.nextWord(caret);
        break;
    case Move::PreviousWord:
        target = m_buffer.previousWord(caret);
        break;
    case Move::Up:
    case Move::Down:
    case Move::NextPage:
    case Move::PreviousPage: {
        if (preferredX < 0)
            preferredX = caretX(caret);
        const bool down = move == Move::Down || move == Move::NextPage;
        const qsizetype steps = move == Move::Up || move == Move::Down ? 1 : visibleRows();
        Row row = rowOf(caret);
        qsizetype done = 0;
        while (done < steps && (down ? nextRow(row) : previousRow(row)))
            ++done;
        // From the first or last row the caret goes to the text's start or end.
        if (done == 0)
            target = down ? m_buffer.end() : TextPosition{};
        else
            target = positionInRow(row, preferredX);
        if (steps > 1)
            scroll = down ? done : -done;
        break;
    }
    case Move::StartOfRow:
        target = { caret.line, rowOf(caret).start };
        break;
    case Move::EndOfRow:
        target = { caret.line, rowEndCaret(rowOf(caret)) };
        break;
    case Move::StartOfText:
        target = {};
        break;
    case Move::EndOfText:
        target = m_buffer.end();
        break;
    }
    m_buffer.setCaret(target, keepAnchor);
    if (scroll != 0)
        scrollRows(scroll);
    finish(before, {});
    if (move == Move::Up || move == Move::Down || move == Move::NextPage || move == Move::PreviousPage)
        m_preferredX = preferredX;
    if (keepAnchor)
        updatePrimarySelection();
}

// Every event of the area and of its viewport comes through these two, so that no
// exception of a handler reaches Qt: it is reported from the event loop, since some
// handlers run where no box may open. An event whose handler failed counts as handled.
bool ListEdit::event(QEvent *event)
{
    bool handled = true;
    guarded([&] { handled = handleEvent(event); }, reportErrorLater);
    return handled;
}

// A paint that fails draws nothing more. It is reported once until a paint succeeds
// again, since the box's own repaint of the area would fail as well.
bool ListEdit::viewportEvent(QEvent *event)
{
    bool handled = true;
    const bool paint = event->type() == QEvent::Paint;
    const ErrorSink report = paint && m_paintFailed ? nullptr : reportErrorLater;
    const bool done = guarded([&] { handled = QAbstractScrollArea::viewportEvent(event); }, report);
    if (paint)
        m_paintFailed = !done;
    return handled;
}

bool ListEdit::handleEvent(QEvent *event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        // The editing keys belong to the area, ahead of any shortcut of the window.
        auto *keyEvent = static_cast<QKeyEvent *>(event);
        static const QKeySequence::StandardKey keys[] = {
            QKeySequence::Copy, QKeySequence::Cut, QKeySequence::Paste, QKeySequence::Undo,
            QKeySequence::Redo, QKeySequence::SelectAll, QKeySequence::Delete,
            QKeySequence::DeleteStartOfWord, QKeySequence::DeleteEndOfWord,
            QKeySequence::MoveToNextWord, QKeySequence::MoveToPreviousWord,
            QKeySequence::SelectNextWord, QKeySequence::SelectPreviousWord,
            QKeySequence::MoveToStartOfDocument, QKeySequence::MoveToEndOfDocument,
            QKeySequence::SelectStartOfDocument, QKeySequence::SelectEndOfDocument,
        };
        const bool editKey = std::any_of(std::begin(keys), std::end(keys),
                                         [keyEvent](QKeySequence::StandardKey key) { return keyEvent->matches(key); });
        if (editKey || isRedo(keyEvent) || isAcceptableInput(keyEvent)) {
            event->accept();
            return true;
        }
    }
    return QAbstractScrollArea::event(event);
}

void ListEdit::keyPressEvent(QKeyEvent *event)
{
    struct Binding
    {
        QKeySequence::StandardKey key;
        Move move;
        bool select;
    };
    static const Binding moves[] = {
        { QKeySequence::MoveToNextChar, Move::NextCharacter, false },
        { QKeySequence::MoveToPreviousChar, Move::PreviousCharacter, false },
        { QKeySequence::MoveToNextWord, Move::NextWord, false },
        { QKeySequence::MoveToPreviousWord, Move::PreviousWord, false },
        { QKeySequence::MoveToNextLine, Move::Down, false },
        { QKeySequence::MoveToPreviousLine, Move::Up, false },
        { QKeySequence::MoveToNextPage, Move::NextPage, false },
        { QKeySequence::MoveToPreviousPage, Move::PreviousPage, false },
        { QKeySequence::MoveToStartOfLine, Move::StartOfRow, false },
        { QKeySequence::MoveToEndOfLine, Move::EndOfRow, false },
        { QKeySequence::MoveToStartOfBlock, Move::StartOfRow, false },
        { QKeySequence::MoveToEndOfBlock, Move::EndOfRow, false },
        { QKeySequence::MoveToStartOfDocument, Move::StartOfText, false },
        { QKeySequence::MoveToEndOfDocument, Move::EndOfText, false },
        { QKeySequence::SelectNextChar, Move::NextCharacter, true },
        { QKeySequence::SelectPreviousChar, Move::PreviousCharacter, true },
        { QKeySequence::SelectNextWord, Move::NextWord, true },
        { QKeySequence::SelectPreviousWord, Move::PreviousWord, true },
        { QKeySequence::SelectNextLine, Move::Down, true },
        { QKeySequence::SelectPreviousLine, Move::Up, true },
        { QKeySequence::SelectNextPage, Move::NextPage, true },
        { QKeySequence::SelectPreviousPage, Move::PreviousPage, true },
        { QKeySequence::SelectStartOfLine, Move::StartOfRow, true },
        { QKeySequence::SelectEndOfLine, Move::EndOfRow, true },
        { QKeySequence::SelectStartOfBlock, Move::StartOfRow, true },
        { QKeySequence::SelectEndOfBlock, Move::EndOfRow, true },
        { QKeySequence::SelectStartOfDocument, Move::StartOfText, true },
        { QKeySequence::SelectEndOfDocument, Move::EndOfText, true },
    };
    for (const Binding &binding : moves) {
        if (event->matches(binding.key)) {
            moveCaret(binding.move, binding.select);
            event->accept();
            return;
        }
    }

    if (event->matches(QKeySequence::SelectAll))
        selectAll();
    else if (event->matches(QKeySequence::Copy))
        copy();
    else if (event->matches(QKeySequence::Cut))
        cut();
    else if (event->matches(QKeySequence::Paste))
        paste();
    else if (event->matches(QKeySequence::Undo))
        undo();
    else if (isRedo(event))
        redo();
    else if (event->matches(QKeySequence::DeleteStartOfWord))
        deleteWordBackward();
    else if (event->matches(QKeySequence::DeleteEndOfWord))
        deleteWordForward();
    else if (event->matches(QKeySequence::Delete))
        deleteForward();
    else if (event->key() == Qt::Key_Backspace && !(event->modifiers() & ~Qt::ShiftModifier))
        deleteBackward();
    else if (event->matches(QKeySequence::InsertParagraphSeparator)
             || event->matches(QKeySequence::InsertLineSeparator)) {
        // Shift+Enter too gives a hard break: the list knows no other kind.
        const State before = state();
        finish(before, m_buffer.insert(u"\n", TextBuffer::InsertKind::Typing));
    } else if (isAcceptableInput(event)) {
        const State before = state();
        finish(before, m_buffer.insert(event->text(), TextBuffer::InsertKind::Typing));
    } else {
        event->ignore();
        return;
    }
    event->accept();
}

void ListEdit::inputMethodEvent(QInputMethodEvent *event)
{
    const State before = state();
    TextChange change;
    // Input starting over a selection replaces it, as in Qt's text widgets.
    const bool input = !event->commitString().isEmpty() || event->preeditString() != m_preedit
            || event->replacementLength() > 0;
    if (input) {
        if (event->replacementLength() > 0) {
            const TextPosition caret = m_buffer.caret();
            const qsizetype from = qMax<qsizetype>(0, caret.column + event->replacementStart());
            m_buffer.setSelection({ caret.line, from }, { caret.line, from + event->replacementLength() });
        }
        change = m_buffer.insert(event->commitString(), TextBuffer::InsertKind::Typing);
    }
    m_preedit = event->preeditString();
    m_preeditCursor = int(m_preedit.size());
    const QList<QInputMethodEvent::Attribute> attributes = event->attributes();
    for (const QInputMethodEvent::Attribute &attribute : attributes) {
        if (attribute.type == QInputMethodEvent::Cursor)
            m_preeditCursor = std::clamp(attribute.start, 0, int(m_preedit.size()));
    }
    finish(before, change);
    event->accept();
}

QVariant ListEdit::inputMethodQuery(Qt::InputMethodQuery query) const
{
    QVariant answer;
    guarded([&] { answer = inputMethodAnswer(query); }, reportErrorLater);
    return answer;
}

QVariant ListEdit::inputMethodAnswer(Qt::InputMethodQuery query) const
{
    const TextPosition caret = m_buffer.caret();
    const QString &paragraph = m_buffer.paragraph(caret.line);
    qsizetype from = qMax<qsizetype>(0, caret.column - surroundingWindow);
    if (from > 0 && paragraph.at(from).isLowSurrogate())
        --from;
    qsizetype to = qMin(paragraph.size(), caret.column + surroundingWindow);
    if (to < paragraph.size() && paragraph.at(to).isLowSurrogate())
        ++to;
    switch (query) {
    case Qt::ImEnabled:
        return true;
    case Qt::ImHints:
        return int(Qt::ImhMultiLine);
    case Qt::ImCursorRectangle: {
        QRect rect = caretRect();
        if (rect.isNull())
            rect = QRect(horizontalMargin, topMargin, 1, m_rowHeight);
        return rect.translated(viewport()->geometry().topLeft());
    }
    case Qt::ImFont:
        return font();
    case Qt::ImSurroundingText:
        return paragraph.sliced(from, to - from);
    case Qt::ImCursorPosition:
        return int(caret.column - from);
    case Qt::ImAnchorPosition: {
        const TextPosition anchor = m_buffer.anchor();
        if (anchor.line != caret.line)
            return int(anchor.line < caret.line ? 0 : to - from);
        return int(std::clamp(anchor.column, from, to) - from);
    }
    case Qt::ImCurrentSelection: {
        const TextPosition start = m_buffer.selectionStart();
        const TextPosition end = m_buffer.selectionEnd();
        if (start.line != end.line || end.column - start.column > 2 * surroundingWindow)
            return QString();
        return m_buffer.selectedText();
    }
    case Qt::ImTextBeforeCursor:
        return paragraph.sliced(from, caret.column - from);
    case Qt::ImTextAfterCursor:
        return paragraph.sliced(caret.column, to - caret.column);
    case Qt::ImMaximumTextLength:
        return QVariant();
    default:
        return QAbstractScrollArea::inputMethodQuery(query);
    }
}

void ListEdit::paintEvent(QPaintEvent *)
{
    QPainter painter(viewport());
    const QPalette &pal = palette();
    const bool focused = hasFocus();
    const TextPosition selectionStart = m_buffer.selectionStart();
    const TextPosition selectionEnd = m_buffer.selectionEnd();
    const bool showSelection = focused && m_buffer.hasSelection();
    const Row caretRow = rowOf(m_buffer.caret());
    const int width = viewport()->width();
    const int height = viewport()->height();

    QTextCharFormat selectedFormat;
    selectedFormat.setBackground(pal.brush(QPalette::Highlight));
    selectedFormat.setForeground(pal.brush(QPalette::HighlightedText));
    painter.setPen(pal.color(QPalette::Text));

    Row row = top();
    for (int y = topMargin; y < height; y += m_rowHeight) {
        const RowCache::DrawRow draw = m_rows.drawRow(row.line, row.start);
        const QTextLine textLine = draw.textLine();
        const QPointF origin(horizontalMargin, y - textLine.y());
        QList<QTextLayout::FormatRange> selections;
        bool breakSelected = false;
        if (showSelection && row.line >= selectionStart.line && row.line <= selectionEnd.line) {
            const qsizetype length = m_buffer.paragraph(row.line).size();
            const qsizetype layoutEnd = draw.offset + draw.layout->text().size();
            const qsizetype from = qMax(draw.offset, row.line == selectionStart.line ? selectionStart.column : 0);
            const qsizetype to = qMin(layoutEnd, row.line == selectionEnd.line ? selectionEnd.column : length);
            if (to > from)
                selections.append({ int(from - draw.offset), int(to - from), selectedFormat });
            breakSelected = row.line < selectionEnd.line && m_rows.rowEnd(row.line, row.start) == length;
        }
        // Only this row of the layout: the clip's band lies inside the row.
        const QRectF clip(0, y + 1, width, qMax(1, m_rowHeight - 2));
        draw.layout->draw(&painter, origin, selections, clip);
        if (breakSelected) {
            const qreal x = horizontalMargin + textLine.naturalTextWidth();
            painter.fillRect(QRectF(x, y, QFontMetricsF(font()).horizontalAdvance(u' '), m_rowHeight),
                             pal.brush(QPalette::Highlight));
        }
        if (row == caretRow) {
            qreal x = horizontalMargin
                    + textLine.cursorToX(int(m_buffer.caret().column - draw.offset));
            if (!m_preedit.isEmpty()) {
                QFont underlined = font();
                underlined.setUnderline(true);
                const QFontMetricsF metrics(underlined);
                const qreal preeditWidth = metrics.horizontalAdvance(m_preedit);
                painter.fillRect(QRectF(x, y, preeditWidth, m_rowHeight), pal.brush(QPalette::Base));
                painter.save();
                painter.setFont(underlined);
                painter.drawText(QPointF(x, y + metrics.ascent()), m_preedit);
                painter.restore();
                x += metrics.horizontalAdvance(m_preedit.left(m_preeditCursor));
            }
            if (focused && m_caretShown) {
                const int caretWidth = style()->pixelMetric(QStyle::PM_TextCursorWidth, nullptr, this);
                painter.fillRect(QRectF(x, y, qMax(1, caretWidth), m_rowHeight), pal.color(QPalette::Text));
            }
        }
        if (m_dropCaretShown && row == rowOf(m_dropCaret)) {
            const qreal x = horizontalMargin + textLine.cursorToX(int(m_dropCaret.column - draw.offset));
            painter.fillRect(QRectF(x, y, 1, m_rowHeight), pal.color(QPalette::Text));
        }
        if (!nextRow(row))
            break;
    }
    m_rows.trim(m_topLine, row.line);
}

void ListEdit::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateWidth();
}

void ListEdit::changeEvent(QEvent *event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        updateFont();
    else if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)
        viewport()->update();
}

void ListEdit::mousePressEvent(QMouseEvent *event)
{
    if (!m_preedit.isEmpty())
        QGuiApplication::inputMethod()->commit();
    const TextPosition position = positionAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton) {
        m_selecting = true;
        m_wordSelecting = false;
        m_lastMousePos = event->position().toPoint();
        setCaretPosition(position, event->modifiers() & Qt::ShiftModifier);
        event->accept();
    } else if (event->button() == Qt::MiddleButton
               && QGuiApplication::clipboard()->supportsSelection()) {
        const QString text = QGuiApplication::clipboard()->text(QClipboard::Selection);
        setCaretPosition(position);
        if (!text.isEmpty())
            insertText(text);
        event->accept();
    } else {
        event->ignore();
    }
}

void ListEdit::extendSelectionTo(QPoint point)
{
    const TextPosition position = positionAt(point);
    if (!m_wordSelecting) {
        setCaretPosition(position, true);
        return;
    }
    const auto word = m_buffer.wordAt(position);
    if (position < m_wordAnchor.first)
        setSelection(m_wordAnchor.second, word.first);
    else
        setSelection(m_wordAnchor.first, qMax(word.second, m_wordAnchor.second));
}

void ListEdit::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_selecting || !(event->buttons() & Qt::LeftButton))
        return;
    m_lastMousePos = event->position().toPoint();
    const bool outside = m_lastMousePos.y() < 0 || m_lastMousePos.y() >= viewport()->height();
    if (outside && !m_autoScrollTimer.isActive())
        m_autoScrollTimer.start(50, this);
    else if (!outside)
        m_autoScrollTimer.stop();
    extendSelectionTo(m_lastMousePos);
    event->accept();
}

void ListEdit::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && m_selecting) {
        m_selecting = false;
        m_autoScrollTimer.stop();
        updatePrimarySelection();
        event->accept();
        return;
    }
    event->ignore();
}

void ListEdit::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    m_wordAnchor = m_buffer.wordAt(positionAt(event->position().toPoint()));
    m_wordSelecting = true;
    m_selecting = true;
    setSelection(m_wordAnchor.first, m_wordAnchor.second);
    updatePrimarySelection();
    event->accept();
}

void ListEdit::wheelEvent(QWheelEvent *event)
{
    const int lines = QApplication::wheelScrollLines();
    const int delta = event->angleDelta().y();
    if (delta == 0) {
        event->ignore();
        return;
    }
    qsizetype rows = -qsizetype(delta) * lines / 120;
    if (rows == 0)
        rows = delta > 0 ? -1 : 1;
    scrollRows(rows);
    event->accept();
}

void ListEdit::focusInEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusInEvent(event);
    restartBlinking();
    viewport()->update();
}

void ListEdit::focusOutEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusOutEvent(event);
    m_blinkTimer.stop();
    viewport()->update();
}

void ListEdit::timerEvent(QTimerEvent *event)
{
    if (event->timerId() == m_blinkTimer.timerId()) {
        m_caretShown = !m_caretShown;
        viewport()->update(caretRect().adjusted(-1, 0, 1, 0));
    } else if (event->timerId() == m_autoScrollTimer.timerId()) {
        if (m_lastMousePos.y() < 0)
            scrollRows(-1 - (-m_lastMousePos.y()) / m_rowHeight);
        else if (m_lastMousePos.y() >= viewport()->height())
            scrollRows(1 + (m_lastMousePos.y() - viewport()->height()) / m_rowHeight);
        extendSelectionTo(m_lastMousePos);
    } else if (event->timerId() == m_indexTimer.timerId()) {
        if (!m_rows.indexSome(indexBudgetMs))
            m_indexTimer.stop();
        // Rows found from the paragraph's start may start the top row elsewhere than the
        // island did.
        const Row row = clampedRow(top());
        if (row != top()) {
            m_topLine = row.line;
            m_topStart = row.start;
            viewport()->update();
        }
        updateScrollBar();
    } else {
        QAbstractScrollArea::timerEvent(event);
    }
}

void ListEdit::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasText())
        event->acceptProposedAction();
    else
        event->ignore();
}

void ListEdit::dragMoveEvent(QDragMoveEvent *event)
{
    if (!event->mimeData()->hasText()) {
        event->ignore();
        return;
    }
    m_dropCaret = positionAt(event->position().toPoint());
    m_dropCaretShown = true;
    viewport()->update();
    event->acceptProposedAction();
}

void ListEdit::dragLeaveEvent(QDragLeaveEvent *)
{
    m_dropCaretShown = false;
    viewport()->update();
}

void ListEdit::dropEvent(QDropEvent *event)
{
    m_dropCaretShown = false;
    if (!event->mimeData()->hasText()) {
        event->ignore();
        return;
    }
    setCaretPosition(positionAt(event->position().toPoint()));
    insertText(event->mimeData()->text());
    event->setDropAction(Qt::CopyAction);
    event->accept();
}
