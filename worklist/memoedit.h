#pragma once

#include <QPlainTextEdit>

// The multi-line text area that holds the working list: wraps at its width, always shows
// its vertical scroll bar (which also spares a second layout pass when a large text
// arrives), never a horizontal one, and has no length limit.
class MemoEdit : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit MemoEdit(QWidget *parent = nullptr);
};
