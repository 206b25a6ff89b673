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

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    TMemoStrings m_lines{this};
};
