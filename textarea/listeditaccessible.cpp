#include "textarea/listeditaccessible.h"

#include "textarea/listedit.h"

#include "base/boundary.h"

#include <QTextBoundaryFinder>

using namespace Qt::Literals::StringLiterals;

namespace {

// Assistive technologies ask through Qt's accessibility bridge, from the event loop: an
// answer or a change that fails gives nothing and is reported afterwards.
template <typename T, typename Body>
T answer(T fallback, Body &&body)
{
    guarded([&] { fallback = body(); }, reportErrorLater);
    return fallback;
}

template <typename Body>
void act(Body &&body)
{
    guarded(std::forward<Body>(body), reportErrorLater);
}

QAccessibleInterface *listEditFactory(const QString &className, QObject *object)
{
    if (className == "ListEdit"_L1 && object && object->isWidgetType())
        return new ListEditAccessible(static_cast<QWidget *>(object));
    return nullptr;
}

} // namespace

ListEditAccessible::ListEditAccessible(QWidget *widget)
    : QAccessibleWidget(widget, QAccessible::EditableText)
{
}

void ListEditAccessible::install()
{
    static const bool installed = [] {
        QAccessible::installFactory(listEditFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

ListEdit *ListEditAccessible::edit() const
{
    return static_cast<ListEdit *>(widget());
}

void *ListEditAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface *>(this);
    if (type == QAccessible::EditableTextInterface)
        return static_cast<QAccessibleEditableTextInterface *>(this);
    return QAccessibleWidget::interface_cast(type);
}

QAccessible::State ListEditAccessible::state() const
{
    QAccessible::State state = QAccessibleWidget::state();
    state.editable = true;
    state.multiLine = true;
    state.selectableText = true;
    return state;
}

QString ListEditAccessible::text(QAccessible::Text type) const
{
    return answer(QString(), [&] {
        if (type == QAccessible::Value)
            return edit()->text();
        return QAccessibleWidget::text(type);
    });
}

void ListEditAccessible::selection(int selectionIndex, int *startOffset, int *endOffset) const
{
    act([&] {
        *startOffset = *endOffset = 0;
        const TextBuffer &buffer = edit()->buffer();
        if (selectionIndex != 0 || !buffer.hasSelection())
            return;
        *startOffset = int(buffer.offsetOf(buffer.selectionStart()));
        *endOffset = int(buffer.offsetOf(buffer.selectionEnd()));
    });
}

int ListEditAccessible::selectionCount() const
{
    return edit()->hasSelection() ? 1 : 0;
}

void ListEditAccessible::addSelection(int startOffset, int endOffset)
{
    act([&] { setSelection(0, startOffset, endOffset); });
}

void ListEditAccessible::removeSelection(int selectionIndex)
{
    act([&] {
        if (selectionIndex == 0)
            edit()->setCaretPosition(edit()->caretPosition());
    });
}

void ListEditAccessible::setSelection(int selectionIndex, int startOffset, int endOffset)
{
    act([&] {
        if (selectionIndex != 0)
            return;
        const TextBuffer &buffer = edit()->buffer();
        edit()->setSelection(buffer.positionAt(startOffset), buffer.positionAt(endOffset));
    });
}

int ListEditAccessible::cursorPosition() const
{
    return answer(0, [&] { return int(edit()->buffer().offsetOf(edit()->caretPosition())); });
}

void ListEditAccessible::setCursorPosition(int position)
{
    act([&] { edit()->setCaretPosition(edit()->buffer().positionAt(position)); });
}

QString ListEditAccessible::text(int startOffset, int endOffset) const
{
    return answer(QString(), [&] {
        const TextBuffer &buffer = edit()->buffer();
        const TextPosition from = buffer.positionAt(startOffset);
        const TextPosition to = buffer.positionAt(endOffset);
        return from < to ? buffer.textBetween(from, to) : QString();
    });
}

QString ListEditAccessible::textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                         int *startOffset, int *endOffset) const
{
    return answer(QString(), [&] {
        ListEdit *area = edit();
        const TextBuffer &buffer = area->buffer();
        const int count = int(buffer.characterCount());
        *startOffset = *endOffset = -1;
        if (offset < 0 || offset > count)
            return QString();
        if (offset == count && boundaryType != QAccessible::NoBoundary && offset > 0)
            --offset;
        const TextPosition position = buffer.positionAt(offset);
        const qsizetype lineStart = buffer.offsetOf({ position.line, 0 });
        qsizetype from = 0;
        qsizetype to = 0;
        switch (boundaryType) {
        case QAccessible::CharBoundary:
            from = buffer.offsetOf(position);
            to = position.column < buffer.paragraph(position.line).size()
                    ? buffer.offsetOf(buffer.nextCharacter(position))
                    : from + (position.line + 1 < buffer.paragraphCount() ? 1 : 0);
            break;
        case QAccessible::WordBoundary: {
            const auto word = buffer.wordAt(position);
            from = buffer.offsetOf(word.first);
            to = buffer.offsetOf(word.second);
            break;
        }
        case QAccessible::LineBoundary: {
            const auto [start, end] = area->rowColumns(position);
            from = lineStart + start;
            to = lineStart + end;
            break;
        }
        case QAccessible::SentenceBoundary:
        case QAccessible::ParagraphBoundary:
            from = lineStart;
            to = lineStart + buffer.paragraph(position.line).size();
            break;
        case QAccessible::NoBoundary:
            from = 0;
            to = count;
            break;
        }
        *startOffset = int(from);
        *endOffset = int(to);
        return text(int(from), int(to));
    });
}

QString ListEditAccessible::textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                             int *startOffset, int *endOffset) const
{
    return answer(QString(), [&] {
        int start = 0;
        int end = 0;
        textAtOffset(offset, boundaryType, &start, &end);
        *startOffset = *endOffset = -1;
        if (start <= 0)
            return QString();
        return textAtOffset(start - 1, boundaryType, startOffset, endOffset);
    });
}

QString ListEditAccessible::textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                            int *startOffset, int *endOffset) const
{
    return answer(QString(), [&] {
        int start = 0;
        int end = 0;
        textAtOffset(offset, boundaryType, &start, &end);
        *startOffset = *endOffset = -1;
        const int count = characterCount();
        if (end < 0 || end >= count)
            return QString();
        // A line's break belongs to no line: the next one starts after it.
        QString next = textAtOffset(end, boundaryType, startOffset, endOffset);
        if (*startOffset < end && end + 1 < count)
            next = textAtOffset(end + 1, boundaryType, startOffset, endOffset);
        return next;
    });
}

int ListEditAccessible::characterCount() const
{
    return answer(0, [&] { return int(edit()->buffer().characterCount()); });
}

QRect ListEditAccessible::characterRect(int offset) const
{
    return answer(QRect(), [&] {
        ListEdit *area = edit();
        const TextBuffer &buffer = area->buffer();
        const TextPosition position = buffer.positionAt(offset);
        const QRect start = area->positionRect(position);
        if (start.isNull())
            return QRect();
        const TextPosition next = buffer.nextCharacter(position);
        const QRect end = next.line == position.line ? area->positionRect(next) : QRect();
        const int width = end.isNull() || end.top() != start.top() ? area->fontMetrics().averageCharWidth()
                                                                  : end.left() - start.left();
        return QRect(area->viewport()->mapToGlobal(start.topLeft()), QSize(qMax(1, width), start.height()));
    });
}

int ListEditAccessible::offsetAtPoint(const QPoint &point) const
{
    return answer(-1, [&] {
        ListEdit *area = edit();
        const QPoint local = area->viewport()->mapFromGlobal(point);
        if (!area->viewport()->rect().contains(local))
            return -1;
        return int(area->buffer().offsetOf(area->positionAt(local)));
    });
}

void ListEditAccessible::scrollToSubstring(int startIndex, int)
{
    act([&] { edit()->setCaretPosition(edit()->buffer().positionAt(startIndex)); });
}

QString ListEditAccessible::attributes(int offset, int *startOffset, int *endOffset) const
{
    *startOffset = *endOffset = offset;
    return QString();
}

void ListEditAccessible::deleteText(int startOffset, int endOffset)
{
    act([&] { replaceText(startOffset, endOffset, QString()); });
}

void ListEditAccessible::insertText(int offset, const QString &text)
{
    act([&] { replaceText(offset, offset, text); });
}

void ListEditAccessible::replaceText(int startOffset, int endOffset, const QString &text)
{
    act([&] {
        const TextBuffer &buffer = edit()->buffer();
        edit()->setSelection(buffer.positionAt(startOffset), buffer.positionAt(endOffset));
        edit()->insertText(text);
    });
}
