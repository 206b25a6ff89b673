#include "worklist/memoedit.h"

#include <QKeyEvent>
#include <QMimeData>

MemoEdit::MemoEdit(QWidget *parent)
    : QPlainTextEdit(parent)
{
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTabChangesFocus(true);
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
}

void MemoEdit::addPlaceholderLine()
{
    m_lines.Add(QStringLiteral("Déposez ici un fichier contenat des adresses EMAIL"));
}

void MemoEdit::replaceText(const QString &text)
{
    emit replacingText(text.size());
    setPlainText(text);
}

void MemoEdit::keyPressEvent(QKeyEvent *event)
{
    // Shift+Enter would insert a soft line separator: it looks like a break but leaves
    // both halves in one line of the list, and is saved as U+2028. Make it a hard break.
    if (event->matches(QKeySequence::InsertLineSeparator) && !isReadOnly()) {
        insertPlainText(QStringLiteral("\n"));
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

QMimeData *MemoEdit::createMimeDataFromSelection() const
{
    auto *mimeData = new QMimeData;
    mimeData->setText(TMemoStrings::withCrLfBreaks(textCursor().selectedText()));
    return mimeData;
}
