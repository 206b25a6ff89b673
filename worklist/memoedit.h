#pragma once

#include "worklist/tmemostrings.h"

#include <QPlainTextEdit>

// The multi-line text area that holds the working list: wraps at its width, always shows
// its vertical scroll bar (which also spares a second layout pass when a large text
// arrives), never a horizontal one, and has no length limit. Its line view Lines() is
// how the program reads and replaces the list.
class MemoEdit : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit MemoEdit(QWidget *parent = nullptr);

    TMemoStrings *Lines() { return &m_lines; }
    const TMemoStrings *Lines() const { return &m_lines; }

    // Appends the line that invites the user to drop a file, as the window shows it at
    // start.
    void addPlaceholderLine();

    // Puts text, with '\n' breaks, in place of the whole content in one step that cannot
    // be undone; the caret ends at the start.
    void replaceText(const QString &text);

    // The selection as copy, cut and drag hand it on: the text as the list holds it, with
    // CR LF breaks, every character kept (the plain text of a document fragment would
    // turn U+00A0 into a space and give '\n' breaks).
    QMimeData *createMimeDataFromSelection() const override;

signals:
    // The area is about to take a whole new text of size units. That step reports no
    // progress and cannot be interrupted; on a large text it takes seconds.
    void replacingText(qsizetype size);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    TMemoStrings m_lines{this};
};
