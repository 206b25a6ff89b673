#pragma once

#include <QByteArrayView>
#include <QPlainTextEdit>
#include <QStringList>

// The multi-line text area that holds the working list: wraps at its width, always shows
// its vertical scroll bar (which also spares a second layout pass when a large text
// arrives), never a horizontal one, and has no length limit.
//
// The list is read and replaced through its lines. A line is a hard line, whole; an empty
// last line after a final break is not a line, so "a\nb\n" and "a\nb" both hold two
// lines. Reading lines asks the document and lays nothing out, so it stays cheap on very
// large texts. The program's own replacements of the list cannot be undone.
class ListEdit : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit ListEdit(QWidget *parent = nullptr);

    qsizetype lineCount() const;
    // Line index, or empty text when there is no such line.
    QString line(qsizetype index) const;
    // Every line, read at once.
    QStringList lines() const;
    // The whole text with '\n' breaks: each line followed by '\n' but the last when the
    // text does not end with a break.
    QString text() const;
    // The whole text with CR LF breaks, as a save writes it and a copy gives it.
    QString textWithCrLf() const;

    // Puts each line followed by a break in place of the whole text, in one step; the caret
    // ends at the end of the text.
    void setLines(const QStringList &lines);
    // Puts a loaded text, with '\n' breaks and without U+0000, in place of the whole text;
    // the caret ends at the start. When the area holds that text already, nothing changes:
    // caret, selection and scroll position stay.
    void setLoadedText(const QString &text);

    // The text of the display row that holds the lower end of the selection (the caret
    // when nothing is selected), without its break, at most 4096 units. The caret at the
    // very end of a text that ends with a break gives the empty last row. Only that row's
    // line is laid out.
    QString caretRowText() const;

    // Besides '\n', the area makes a line break of U+2029 and of U+FDD0 and U+FDD1, which
    // Qt keeps for frames. withAreaBreaks() turns them into '\n', so that a text cut at
    // '\n' has the lines that the area would show for it. mayHoldAreaBreaks() tells
    // whether UTF-8 bytes can decode to one of them.
    static QString withAreaBreaks(QString text);
    static bool mayHoldAreaBreaks(QByteArrayView utf8);

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
    void replaceText(const QString &text);
};
