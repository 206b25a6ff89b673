#include "editdriver.h"

#include "textarea/listedit.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTextBoundaryFinder>
#include <QTextLayout>
#include <QWheelEvent>

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace {

enum class Operation {
    Type, Commit, Insert, Enter, Backspace, Delete, WordBackspace, WordDelete,
    Left, Right, Up, Down, Home, End, PageUp, PageDown, WordLeft, WordRight, TextStart, TextEnd,
    SelectAll, Cut, Copy, Paste, Undo, Redo, Replace, Load, Resize, CaretRow, Click,
    DoubleClick, Scroll, Paint, SetCaret,
    Count
};

// Characters that make editing hard: breaks of every kind, a character outside the BMP,
// a combining mark, lone surrogates, U+0000, blanks and punctuation that stop word moves.
const char16_t alphabet[] = {
    u'a', u'b', u'c', u' ', u'\n', u'\r', 0, 0x2029, 0x0301, 0xD83D, 0xDE00, u'.', u'@',
    0x00A0, 0x2028, u'W', 0x4E2D, u'\t', 0xFDD0, u'-',
};

QString normalized(const QString &text)
{
    QString result = text;
    result.replace("\r\n"_L1, "\n"_L1).replace(u'\r', u'\n').replace(QChar(0), u' ');
    return result;
}

// Copies go to the clipboard as UTF-8, which holds no unpaired surrogate: each becomes
// U+FFFD.
QString asCopied(const QString &text)
{
    QString result = text;
    for (qsizetype i = 0; i < result.size(); ++i) {
        const bool pair = result.at(i).isHighSurrogate() && i + 1 < result.size()
                && result.at(i + 1).isLowSurrogate();
        if (pair)
            ++i;
        else if (result.at(i).isSurrogate())
            result[i] = QChar::ReplacementCharacter;
    }
    return result.replace(u'\n', "\r\n"_L1);
}

TextPosition toPosition(const QString &text, qsizetype offset)
{
    const QStringView before = QStringView(text).left(offset);
    const qsizetype lineStart = before.lastIndexOf(u'\n') + 1;
    return { before.count(u'\n'), offset - lineStart };
}

qsizetype toOffset(const QString &text, TextPosition position)
{
    qsizetype start = 0;
    for (qsizetype line = 0; line < position.line; ++line)
        start = text.indexOf(u'\n', start) + 1;
    return start + position.column;
}

void sendKey(QWidget *widget, Qt::Key key, Qt::KeyboardModifiers modifiers, const QString &text = {})
{
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QCoreApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QCoreApplication::sendEvent(widget, &release);
}

void sendMouse(QWidget *viewport, QEvent::Type type, QPoint pos, Qt::KeyboardModifiers modifiers)
{
    const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, pos, viewport->mapToGlobal(pos), Qt::LeftButton, buttons, modifiers);
    QCoreApplication::sendEvent(viewport, &event);
}

} // namespace

EditDriver::EditDriver(ListEdit *edit)
    : m_edit(edit)
{
    m_text = edit->text();
    m_caret = m_anchor = toOffset(m_text, edit->caretPosition());
    m_anchor = toOffset(m_text, edit->anchorPosition());
}

uint8_t EditDriver::next()
{
    return m_pos < m_data.size() ? uint8_t(m_data[m_pos++]) : 0;
}

QString EditDriver::randomText(bool breaks)
{
    const int length = next() % 12;
    QString text;
    for (int i = 0; i < length; ++i) {
        const char16_t c = alphabet[next() % std::size(alphabet)];
        if (!breaks && (c == u'\n' || c == u'\r'))
            continue;
        text += QChar(c);
    }
    return text;
}

qsizetype EditDriver::snapped(qsizetype offset) const
{
    if (offset > 0 && offset < m_text.size() && m_text.at(offset).isLowSurrogate()
        && m_text.at(offset - 1).isHighSurrogate())
        return offset - 1;
    return offset;
}

// The reference's moves look at the whole line.
qsizetype EditDriver::nextCharacter(qsizetype offset) const
{
    if (offset >= m_text.size())
        return offset;
    if (m_text.at(offset) == u'\n')
        return offset + 1;
    const qsizetype lineStart = QStringView(m_text).left(offset).lastIndexOf(u'\n') + 1;
    qsizetype lineEnd = m_text.indexOf(u'\n', offset);
    if (lineEnd < 0)
        lineEnd = m_text.size();
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, QStringView(m_text).sliced(lineStart, lineEnd - lineStart));
    finder.setPosition(offset - lineStart);
    return snapped(lineStart + finder.toNextBoundary());
}

qsizetype EditDriver::previousCharacter(qsizetype offset) const
{
    if (offset <= 0)
        return 0;
    if (m_text.at(offset - 1) == u'\n')
        return offset - 1;
    const qsizetype lineStart = QStringView(m_text).left(offset).lastIndexOf(u'\n') + 1;
    qsizetype lineEnd = m_text.indexOf(u'\n', offset);
    if (lineEnd < 0)
        lineEnd = m_text.size();
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, QStringView(m_text).sliced(lineStart, lineEnd - lineStart));
    finder.setPosition(offset - lineStart);
    return snapped(lineStart + finder.toPreviousBoundary());
}

void EditDriver::record(bool typing, bool merges)
{
    if (!merges)
        m_undo.push_back({ m_text, m_caret, m_anchor, 0, 0 });
    m_redo.clear();
    if (!typing)
        m_typingOpen = false;
}

// As the area's history does: a whole replacement lets go of the steps up to the whole
// replacement before it.
void EditDriver::recordWhole()
{
    const auto previous = std::find_if(m_undo.rbegin(), m_undo.rend(),
                                       [](const Snapshot &s) { return s.whole; });
    if (previous != m_undo.rend())
        m_undo.erase(m_undo.begin(), previous.base());
    m_undo.push_back({ m_text, m_caret, m_anchor, 0, 0, true });
    m_redo.clear();
    m_typingOpen = false;
}

// A replacement of the whole text: one step of the history, or the history cleared.
void EditDriver::replaceWhole(const QString &text, qsizetype caret, bool recorded)
{
    if (recorded) {
        recordWhole();
    } else {
        m_undo.clear();
        m_redo.clear();
        m_typingOpen = false;
    }
    m_text = text;
    m_caret = m_anchor = caret;
    if (recorded)
        m_undo.back().caretAfter = m_undo.back().anchorAfter = m_caret;
}

// Undoes or redoes the latest step of from, which then goes to to: the text it holds and
// the current one change places, and the caret goes where it was before or after the step.
void EditDriver::moveStep(std::vector<Snapshot> &from, std::vector<Snapshot> &to, bool undo)
{
    if (from.empty())
        return;
    Snapshot step = std::move(from.back());
    from.pop_back();
    std::swap(step.text, m_text);
    m_caret = undo ? step.caretBefore : step.caretAfter;
    m_anchor = undo ? step.anchorBefore : step.anchorAfter;
    to.push_back(std::move(step));
    m_typingOpen = false;
}

void EditDriver::replaceSelection(const QString &raw, bool typing)
{
    const QString text = normalized(raw);
    if (raw.isEmpty() && m_caret == m_anchor)
        return;
    const bool hasBreak = text.contains(u'\n');
    const bool merges = typing && m_typingOpen && m_caret == m_anchor && !hasBreak && m_caret == m_typingEnd;
    record(typing, merges);
    const qsizetype start = selectionStart();
    m_text.replace(start, selectionEnd() - start, text);
    m_caret = m_anchor = snapped(start + text.size());
    m_undo.back().caretAfter = m_undo.back().anchorAfter = m_caret;
    m_typingOpen = typing && !hasBreak;
    m_typingEnd = start + text.size();
}

void EditDriver::adoptCaret(bool keepAnchor, QString *why)
{
    const qsizetype caret = toOffset(m_text, m_edit->caretPosition());
    const TextPosition position = m_edit->caretPosition();
    if (position.line < 0 || caret < 0 || caret > m_text.size() || snapped(caret) != caret
        || toPosition(m_text, caret) != position)
        *why = u"the area moved its caret to %1:%2, which is no place in the text"_s
                       .arg(position.line).arg(position.column);
    m_caret = caret;
    if (!keepAnchor)
        m_anchor = caret;
    m_typingOpen = false;
}

void EditDriver::apply(uint8_t byte)
{
    const auto operation = Operation(byte % int(Operation::Count));
    const bool shift = byte & 0x80;
    const Qt::KeyboardModifiers selecting = shift ? Qt::ShiftModifier : Qt::NoModifier;
    QWidget *viewport = m_edit->viewport();
    QString why;

    auto moveKey = [&](Qt::Key key, Qt::KeyboardModifiers modifiers) {
        sendKey(m_edit, key, modifiers | selecting);
        adoptCaret(shift, &why);
    };

    switch (operation) {
    case Operation::Type: {
        const QChar c(u'a' + next() % 26);
        sendKey(m_edit, Qt::Key(Qt::Key_A + (c.unicode() - u'a')), Qt::NoModifier, QString(c));
        replaceSelection(QString(c), true);
        break;
    }
    case Operation::Commit: {
        const QString preedit = randomText(false);
        QInputMethodEvent event(preedit, {});
        const QString commit = randomText(true);
        event.setCommitString(commit);
        QCoreApplication::sendEvent(m_edit, &event);
        if (!commit.isEmpty() || preedit != m_preedit)
            replaceSelection(commit, true);
        m_preedit = preedit;
        break;
    }
    case Operation::Insert: {
        const QString text = randomText(true);
        m_edit->insertText(text);
        replaceSelection(text, false);
        break;
    }
    case Operation::Enter:
        sendKey(m_edit, Qt::Key_Return, shift ? Qt::ShiftModifier : Qt::NoModifier, u"\r"_s);
        replaceSelection(u"\n"_s, true);
        break;
    case Operation::Backspace:
        sendKey(m_edit, Qt::Key_Backspace, Qt::NoModifier);
        if (m_caret != m_anchor) {
            replaceSelection(QString(), false);
        } else if (m_caret > 0) {
            qsizetype from = m_caret - 1;
            if (from > 0 && m_text.at(from).isLowSurrogate() && m_text.at(from - 1).isHighSurrogate())
                --from;
            record(false, false);
            m_text.remove(from, m_caret - from);
            m_caret = m_anchor = snapped(from);
            m_undo.back().caretAfter = m_undo.back().anchorAfter = m_caret;
        }
        break;
    case Operation::Delete:
        sendKey(m_edit, Qt::Key_Delete, Qt::NoModifier);
        if (m_caret != m_anchor) {
            replaceSelection(QString(), false);
        } else if (const qsizetype to = nextCharacter(m_caret); to != m_caret) {
            record(false, false);
            m_text.remove(m_caret, to - m_caret);
            m_caret = m_anchor = snapped(m_caret);
            m_undo.back().caretAfter = m_undo.back().anchorAfter = m_caret;
        }
        break;
    case Operation::WordBackspace:
    case Operation::WordDelete: {
        const bool backward = operation == Operation::WordBackspace;
        sendKey(m_edit, backward ? Qt::Key_Backspace : Qt::Key_Delete, Qt::ControlModifier);
        if (m_caret != m_anchor) {
            replaceSelection(QString(), false);
            break;
        }
        const QString areaText = m_edit->text();
        const qsizetype removed = m_text.size() - areaText.size();
        const qsizetype from = backward ? m_caret - removed : m_caret;
        if (removed < 0 || from < 0 || from + removed > m_text.size()
            || QString(m_text).remove(from, removed) != areaText) {
            why = u"a word deletion removed something else than a range at the caret"_s;
            break;
        }
        if (removed > 0) {
            record(false, false);
            m_text = areaText;
            m_caret = m_anchor = snapped(from);
            m_undo.back().caretAfter = m_undo.back().anchorAfter = m_caret;
        }
        break;
    }
    case Operation::Left:
        sendKey(m_edit, Qt::Key_Left, selecting);
        m_caret = !shift && m_caret != m_anchor ? selectionStart() : previousCharacter(m_caret);
        if (!shift)
            m_anchor = m_caret;
        m_typingOpen = false;
        break;
    case Operation::Right:
        sendKey(m_edit, Qt::Key_Right, selecting);
        m_caret = !shift && m_caret != m_anchor ? selectionEnd() : nextCharacter(m_caret);
        if (!shift)
            m_anchor = m_caret;
        m_typingOpen = false;
        break;
    case Operation::Up: moveKey(Qt::Key_Up, Qt::NoModifier); break;
    case Operation::Down: moveKey(Qt::Key_Down, Qt::NoModifier); break;
    case Operation::Home: moveKey(Qt::Key_Home, Qt::NoModifier); break;
    case Operation::End: moveKey(Qt::Key_End, Qt::NoModifier); break;
    case Operation::PageUp: moveKey(Qt::Key_PageUp, Qt::NoModifier); break;
    case Operation::PageDown: moveKey(Qt::Key_PageDown, Qt::NoModifier); break;
    case Operation::WordLeft: moveKey(Qt::Key_Left, Qt::ControlModifier); break;
    case Operation::WordRight: moveKey(Qt::Key_Right, Qt::ControlModifier); break;
    case Operation::TextStart:
    case Operation::TextEnd:
        sendKey(m_edit, operation == Operation::TextStart ? Qt::Key_Home : Qt::Key_End,
                Qt::ControlModifier | selecting);
        m_caret = operation == Operation::TextStart ? 0 : m_text.size();
        if (!shift)
            m_anchor = m_caret;
        m_typingOpen = false;
        break;
    case Operation::SelectAll:
        sendKey(m_edit, Qt::Key_A, Qt::ControlModifier);
        m_anchor = 0;
        m_caret = m_text.size();
        m_typingOpen = false;
        break;
    case Operation::Cut:
    case Operation::Copy: {
        QGuiApplication::clipboard()->setText(u"before"_s);
        const QString selected = m_text.sliced(selectionStart(), selectionEnd() - selectionStart());
        if (operation == Operation::Cut)
            m_edit->cut();
        else
            m_edit->copy();
        const QString expected = selected.isEmpty() ? u"before"_s : asCopied(selected);
        if (QGuiApplication::clipboard()->text() != expected)
            why = u"the clipboard holds \"%1\", not the selection with CR LF breaks"_s.arg(QGuiApplication::clipboard()->text());
        if (operation == Operation::Cut && !selected.isEmpty())
            replaceSelection(QString(), false);
        break;
    }
    case Operation::Paste: {
        const QString text = randomText(true);
        QGuiApplication::clipboard()->setText(text);
        sendKey(m_edit, Qt::Key_V, Qt::ControlModifier);
        if (!text.isEmpty())
            replaceSelection(text, false);
        break;
    }
    case Operation::Undo:
        sendKey(m_edit, Qt::Key_Z, Qt::ControlModifier);
        moveStep(m_undo, m_redo, true);
        break;
    case Operation::Redo:
        if (shift)
            sendKey(m_edit, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        else
            sendKey(m_edit, Qt::Key_Y, Qt::ControlModifier);
        moveStep(m_redo, m_undo, false);
        break;
    case Operation::Replace: {
        QStringList lines;
        for (int i = 0, count = next() % 5; i < count; ++i)
            lines.append(randomText(false));
        const bool recorded = shift;
        m_edit->setLines(lines, recorded ? ReplaceMode::Undoable : ReplaceMode::NotRecorded);
        QString text;
        for (const QString &line : std::as_const(lines))
            text += line + u'\n';
        replaceWhole(text, text.size(), recorded);
        break;
    }
    case Operation::Load: {
        // The same text again, or a new one, loaded as a start-up does or, recorded, as a
        // drop does.
        const bool recorded = next() & 1;
        const QString text = shift ? m_text : normalized(randomText(true));
        if (recorded)
            m_edit->loadParagraphs(text.split(u'\n'), ReplaceMode::Undoable);
        else
            m_edit->setLoadedText(text);
        if (text != m_text)
            replaceWhole(text, 0, recorded);
        break;
    }
    case Operation::Resize:
        m_edit->resize(30 + next() * 2, 40 + next());
        break;
    case Operation::CaretRow: {
        const QString rowText = m_edit->caretRowText();
        const TextPosition start = toPosition(m_text, selectionStart());
        const auto [from, to] = m_edit->rowColumns(start);
        const QString line = m_edit->line(start.line);
        if (from > start.column || to < start.column || !line.sliced(from, to - from).startsWith(rowText)
            || rowText.size() > 4096)
            why = u"the caret's row text \"%1\" is not the row that holds %2:%3"_s
                          .arg(rowText).arg(start.line).arg(start.column);
        break;
    }
    case Operation::Click:
    case Operation::DoubleClick: {
        const QPoint pos(next() % qMax(1, viewport->width()), int(next()) - 20);
        sendMouse(viewport, QEvent::MouseButtonPress, pos, operation == Operation::Click ? selecting : Qt::NoModifier);
        if (operation == Operation::DoubleClick) {
            sendMouse(viewport, QEvent::MouseButtonRelease, pos, Qt::NoModifier);
            sendMouse(viewport, QEvent::MouseButtonDblClick, pos, Qt::NoModifier);
        }
        sendMouse(viewport, QEvent::MouseButtonRelease, pos, Qt::NoModifier);
        const bool keep = operation == Operation::DoubleClick || shift;
        const qsizetype anchorBefore = m_anchor;
        adoptCaret(keep, &why);
        if (operation == Operation::DoubleClick) {
            m_anchor = toOffset(m_text, m_edit->anchorPosition());
            if (snapped(m_anchor) != m_anchor || m_anchor > m_caret)
                why = u"a double click selected no word"_s;
        } else if (shift) {
            m_anchor = anchorBefore;
        }
        break;
    }
    case Operation::Scroll:
        if (shift) {
            QWheelEvent wheel(QPointF(10, 10), viewport->mapToGlobal(QPointF(10, 10)), QPoint(),
                              QPoint(0, (int(next()) - 128) * 4), Qt::NoButton, Qt::NoModifier,
                              Qt::NoScrollPhase, false);
            QCoreApplication::sendEvent(viewport, &wheel);
        } else {
            QScrollBar *bar = m_edit->verticalScrollBar();
            bar->setValue(bar->maximum() * next() / 255);
        }
        break;
    case Operation::Paint:
        viewport->repaint();
        QCoreApplication::processEvents();
        break;
    case Operation::SetCaret: {
        const TextPosition wanted{ qsizetype(next() % 8), qsizetype(next() % 16) };
        m_edit->setCaretPosition(wanted, shift);
        const qsizetype lines = m_text.count(u'\n') + 1;
        TextPosition clamped{ qMin(wanted.line, lines - 1), 0 };
        const qsizetype start = toOffset(m_text, clamped);
        qsizetype end = m_text.indexOf(u'\n', start);
        if (end < 0)
            end = m_text.size();
        clamped.column = qMin(wanted.column, end - start);
        m_caret = snapped(start + clamped.column);
        if (!shift)
            m_anchor = m_caret;
        m_typingOpen = false;
        break;
    }
    case Operation::Count:
        break;
    }
    if (!why.isEmpty() && m_failure.isEmpty())
        m_failure = why;
}

bool EditDriver::check(QString *why)
{
    auto fail = [why](const QString &message) {
        *why = message;
        return false;
    };
    if (!m_failure.isEmpty())
        return fail(m_failure);
    const QString text = m_edit->text();
    if (text != m_text)
        return fail(u"the area holds \"%1\", the reference \"%2\""_s.arg(text, m_text));
    if (m_edit->caretPosition() != toPosition(m_text, m_caret)
        || m_edit->anchorPosition() != toPosition(m_text, m_anchor))
        return fail(u"caret %1:%2 anchor %3:%4, the reference has offsets %5 and %6"_s
                            .arg(m_edit->caretPosition().line).arg(m_edit->caretPosition().column)
                            .arg(m_edit->anchorPosition().line).arg(m_edit->anchorPosition().column)
                            .arg(m_caret).arg(m_anchor));
    if (m_edit->isUndoAvailable() != !m_undo.empty() || m_edit->isRedoAvailable() != !m_redo.empty())
        return fail(u"undo or redo availability differs from the reference's history"_s);

    QStringList lines = m_text.split(u'\n');
    if (lines.constLast().isEmpty())
        lines.removeLast();
    if (m_edit->lineCount() != lines.size())
        return fail(u"%1 lines, the reference has %2"_s.arg(m_edit->lineCount()).arg(lines.size()));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (m_edit->line(i) != lines.at(i))
            return fail(u"line %1 differs"_s.arg(i));
    }
    if (m_edit->lines() != lines || m_edit->textWithCrLf() != QString(m_text).replace(u'\n', "\r\n"_L1))
        return fail(u"the whole-list reads differ from the reference"_s);
    if (m_edit->isEmpty() != m_text.isEmpty())
        return fail(u"isEmpty() is wrong"_s);
    if (!m_edit->verticalScrollBar()->isVisible() || m_edit->horizontalScrollBar()->isVisible())
        return fail(u"the scroll bars are not as they must be"_s);

    // The rows on screen against one layout of each whole line.
    const qsizetype paragraphs = m_text.count(u'\n') + 1;
    qsizetype shownRows = 0;
    const qsizetype wanted = m_edit->viewport()->height() / qMax(1, m_edit->fontMetrics().height()) + 2;
    for (qsizetype line = m_edit->topRow().line; line < paragraphs && shownRows < wanted; ++line) {
        const QString paragraph = m_text.section(u'\n', int(line), int(line));
        QTextLayout layout(paragraph, m_edit->font());
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine row = layout.createLine(); row.isValid(); row = layout.createLine())
            row.setLineWidth(m_edit->wrapWidth());
        layout.endLayout();
        const qsizetype rows = m_edit->rowCount(line);
        if (rows != layout.lineCount()) {
            QStringList shown;
            for (qsizetype row = 0; row < rows; ++row)
                shown << m_edit->rowText(line, row);
            return fail(u"line %1 has %2 rows (\"%5\"), one layout of it %3 at width %4"_s
                                .arg(line).arg(rows).arg(layout.lineCount()).arg(m_edit->wrapWidth())
                                .arg(shown.join(u"\" \""_s)));
        }
        QString joined;
        for (qsizetype row = 0; row < rows; ++row) {
            const QString rowText = m_edit->rowText(line, row);
            if (layout.lineAt(int(row)).textStart() != joined.size())
                return fail(u"row %1 of line %2 starts at %3, one layout of it at %4"_s.arg(row).arg(line)
                                    .arg(joined.size()).arg(layout.lineAt(int(row)).textStart()));
            joined += rowText;
        }
        if (joined != paragraph)
            return fail(u"the rows of line %1 do not give the line back"_s.arg(line));
        shownRows += rows;
    }
    return true;
}

bool EditDriver::run(QByteArrayView data, QString *why)
{
    m_data = data;
    m_pos = 0;
    const bool trace = qEnvironmentVariableIsSet("EDITDRIVER_TRACE");
    while (m_pos < m_data.size()) {
        const uint8_t operation = next();
        if (trace)
            qDebug("step %lld: operation %d%s", qlonglong(m_steps), operation % int(Operation::Count),
                   operation & 0x80 ? " with shift" : "");
        apply(operation);
        if (trace)
            qDebug() << "  text" << m_text << "caret" << m_caret << "anchor" << m_anchor;
        ++m_steps;
        if (!check(why))
            return false;
    }
    return true;
}
