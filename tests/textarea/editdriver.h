#pragma once

#include <QByteArrayView>
#include <QString>

#include <vector>

class ListEdit;

// Runs a sequence of operations decoded from bytes on a text area and, beside it, on a
// plain reference: one QString with each operation applied the naive way and an undo
// history of whole-text snapshots. After every step the area must hold the reference's
// text, caret and selection, its lines must be the reference split at '\n', and each
// row on screen must be a piece of its line, in order, the rows of a line giving the
// line back as one QTextLayout of the whole line wraps it. Moves whose target depends on
// the layout (rows, pages, words, clicks) take the area's target after checking that
// it is a valid place. The fuzz target and a seeded test share it.
class EditDriver
{
public:
    explicit EditDriver(ListEdit *edit);

    // Runs every operation data decodes to; false at the first broken property, with
    // what broke in *why.
    bool run(QByteArrayView data, QString *why);
    qsizetype steps() const { return m_steps; }

private:
    struct Snapshot
    {
        QString text;
        qsizetype caretBefore = 0;
        qsizetype anchorBefore = 0;
        qsizetype caretAfter = 0;
        qsizetype anchorAfter = 0;
        // A replacement of the whole list: the history keeps the latest one only.
        bool whole = false;
    };

    uint8_t next();
    QString randomText(bool breaks);
    void apply(uint8_t operation);
    bool check(QString *why);

    qsizetype snapped(qsizetype offset) const;
    qsizetype selectionStart() const { return qMin(m_caret, m_anchor); }
    qsizetype selectionEnd() const { return qMax(m_caret, m_anchor); }
    void replaceSelection(const QString &text, bool typing);
    void record(bool typing, bool merges);
    void recordWhole();
    void moveStep(std::vector<Snapshot> &from, std::vector<Snapshot> &to, bool undo);
    void replaceWhole(const QString &text, qsizetype caret, bool recorded);
    void closeTyping() { m_typingOpen = false; }
    void adoptCaret(bool keepAnchor, QString *why);
    qsizetype nextCharacter(qsizetype offset) const;
    qsizetype previousCharacter(qsizetype offset) const;

    ListEdit *m_edit;
    QByteArrayView m_data;
    qsizetype m_pos = 0;
    qsizetype m_steps = 0;
    QString m_failure;

    QString m_text;
    qsizetype m_caret = 0;
    qsizetype m_anchor = 0;
    std::vector<Snapshot> m_undo;
    std::vector<Snapshot> m_redo;
    bool m_typingOpen = false;
    QString m_preedit;
    qsizetype m_typingEnd = -1;
};
