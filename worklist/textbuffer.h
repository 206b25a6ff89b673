#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <compare>
#include <vector>

// A place in the text: a paragraph (hard line) and a column in UTF-16 units.
struct TextPosition
{
    qsizetype line = 0;
    qsizetype column = 0;

    friend bool operator==(const TextPosition &, const TextPosition &) = default;
    friend auto operator<=>(const TextPosition &, const TextPosition &) = default;
};

// What an operation changed: paragraphs [firstLine, firstLine + removedLines) became
// [firstLine, firstLine + insertedLines); column is where the first of them started to
// differ. An edit of a range also says which text went and which came at start ('\n'
// breaks); a whole replacement has whole set and no texts.
struct TextChange
{
    bool changed = false;
    qsizetype firstLine = 0;
    qsizetype removedLines = 0;
    qsizetype insertedLines = 0;
    qsizetype column = 0;
    bool whole = false;
    TextPosition start;
    QString removed;
    QString inserted;
};

enum class ReplaceMode {
    NotRecorded, // the history is cleared: the old text cannot come back
    Undoable,    // one undo step that holds the old lines by value; the history keeps the
                 // latest such step only, and the steps after it
};

// The working list as the text area holds it: an array of paragraphs, the caret and
// the selection anchor, and the undo history. The text "a\nb\n" is the paragraphs
// {"a", "b", ""} and the empty text is {""}; the list's lines are the paragraphs less an
// empty last one, and they are kept as one QStringList so that lines() and a whole-list
// replacement cost O(1). Positions are never inside a surrogate pair. An edit costs the
// size of what it touches; only text(), textWithCrLf() and the first offsetOf() after an
// edit read the whole text.
class TextBuffer
{
public:
    TextBuffer() = default;

    // The list's lines: a text that ends with a break or is empty has no last empty line.
    qsizetype lineCount() const { return m_lines.size(); }
    QString line(qsizetype index) const { return m_lines.value(index); }
    const QStringList &lines() const { return m_lines; }
    QString text() const;
    QString textWithCrLf() const;
    bool isEmpty() const { return m_lines.isEmpty(); }

    qsizetype paragraphCount() const { return m_lines.size() + (m_openEnd ? 1 : 0); }
    const QString &paragraph(qsizetype index) const;
    TextPosition end() const;

    // The text becomes each of lines followed by a break; the caret goes to the end. The
    // array is taken as it is, without reading its lines: none may hold CR or LF (see
    // splitAtBreaks()).
    TextChange setLines(QStringList lines, ReplaceMode mode = ReplaceMode::NotRecorded);
    // Lines with every CR LF, lone CR and LF inside one made a break between lines; an
    // array without any is returned as it is.
    static QStringList splitAtBreaks(QStringList lines);
    // A loaded text with '\n' breaks, or its paragraphs; the caret goes to the start. The
    // same text as now changes nothing at all. A text is never recorded; paragraphs may be,
    // as lines are.
    TextChange loadText(const QString &text);
    TextChange loadParagraphs(QStringList paragraphs, ReplaceMode mode = ReplaceMode::NotRecorded);

    TextPosition caret() const { return m_caret; }
    TextPosition anchor() const { return m_anchor; }
    bool hasSelection() const { return m_caret != m_anchor; }
    TextPosition selectionStart() const { return qMin(m_caret, m_anchor); }
    TextPosition selectionEnd() const { return qMax(m_caret, m_anchor); }
    // With '\n' breaks, and with CR LF breaks as copies carry them.
    QString selectedText() const;
    QString selectedTextWithCrLf() const;
    // The same as UTF-8, made in one buffer of its exact size, for the clipboard.
    QByteArray selectedUtf8WithCrLf() const;
    QString textBetween(TextPosition from, TextPosition to) const;
    // Positions are clamped to the text and moved off the middle of a surrogate pair.
    void setCaret(TextPosition position, bool keepAnchor = false);
    void setSelection(TextPosition anchor, TextPosition caret);
    void selectAll();
    TextPosition clamped(TextPosition position) const;

    // Moves by grapheme cluster, as the arrow keys do; at a paragraph's end they go on to
    // the next paragraph.
    TextPosition nextCharacter(TextPosition position) const;
    TextPosition previousCharacter(TextPosition position) const;
    // Moves by words as Ctrl+arrows do in Qt's text widgets: over a run of word
    // characters or a run of punctuation, and the blanks after it.
    TextPosition nextWord(TextPosition position) const;
    TextPosition previousWord(TextPosition position) const;
    // The word, blank run or punctuation under position, as a double click selects it.
    std::pair<TextPosition, TextPosition> wordAt(TextPosition position) const;

    // Editing. Inserted text has its CR LF, lone CR and LF made one break each and U+0000
    // made a space. Typed text merges into the step of the text typed just before it.
    enum class InsertKind { Paste, Typing };
    TextChange insert(QStringView text, InsertKind kind = InsertKind::Paste);
    TextChange removeSelection();
    // Backspace removes one code point, so that a combining mark goes alone; Delete removes
    // a whole grapheme cluster. Both remove the selection when there is one.
    TextChange deleteBackward();
    TextChange deleteForward();
    TextChange deleteWordBackward();
    TextChange deleteWordForward();

    bool canUndo() const { return !m_undo.empty(); }
    bool canRedo() const { return !m_redo.empty(); }
    TextChange undo();
    TextChange redo();
    void clearHistory();
    // Ends the merging of typed text, as any caret move does.
    void closeTypingStep() { m_typingOpen = false; }

    // Offsets count UTF-16 units over text() ('\n' breaks). The table of paragraph starts
    // is built on first use and rebuilt after an edit from the edited paragraph on.
    qsizetype offsetOf(TextPosition position) const;
    TextPosition positionAt(qsizetype offset) const;
    qsizetype characterCount() const;

    static QString normalizedBreaks(QStringView text);

private:
    struct Step
    {
        bool whole = false;
        bool typing = false;
        // An edit: at start, removed (with '\n' breaks) was replaced by inserted.
        TextPosition start;
        QString removed;
        QString inserted;
        // A whole replacement holds the version of the lines that is not in use; undo
        // and redo swap it with the current one.
        QStringList otherLines;
        bool otherOpenEnd = true;
        TextPosition caretBefore, anchorBefore, caretAfter, anchorAfter;
    };

    TextChange replaceRange(TextPosition from, TextPosition to, const QString &text);
    TextChange edit(TextPosition from, TextPosition to, const QString &normalized,
                    bool typing);
    TextChange replaceAll(QStringList lines, bool openEnd) noexcept;
    enum class CaretAt { Start, End };
    TextChange replaceWhole(QStringList lines, bool openEnd, CaretAt caret, ReplaceMode mode);
    TextChange swapLines(Step &step) noexcept;
    void pushStep(Step step) noexcept;
    void linesChangedFrom(qsizetype line) const;
    TextPosition positionAfter(TextPosition start, QStringView text) const;
    TextPosition snapped(TextPosition position) const;

    QStringList m_lines;
    // Whether an empty paragraph follows the lines: always for the empty text.
    bool m_openEnd = true;
    TextPosition m_caret;
    TextPosition m_anchor;
    std::vector<Step> m_undo;
    std::vector<Step> m_redo;
    bool m_typingOpen = false;
    mutable std::vector<qsizetype> m_starts;
};
