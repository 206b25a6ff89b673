#pragma once

#include "worklist/textfile.h"
#include "worklist/tstringlist.h"
#include "worklist/tstrings.h"

#include <QByteArrayView>
#include <QStringList>

class MemoEdit;

// The line view over the text area: it keeps no copy of the text and asks the area's
// document for everything. A line is a hard line (a document block), whole; an empty
// last block after a final break is not a line. Nothing here lays text out, so counting
// and reading lines stays cheap on very large texts.
class TMemoStrings : public TStrings
{
public:
    explicit TMemoStrings(MemoEdit *memo);

    int Count() const override;
    QString Strings(int index) const override;
    void Clear() override;
    int Add(const QString &s) override;
    // Puts every line of source, each followed by a break, into the area in one step,
    // with no undo; the caret ends at the end of the text.
    void Assign(const TStrings &source) override;
    QString Text() const override;

    // The same as TStringList::Assign from this view, with the whole text read at once
    // instead of line by line.
    void CopyTo(TStringList &target) const;
    // Every line, read at once.
    QStringList lines() const;
    // The whole text with '\n' breaks, read at once: the lines as Strings() gives them,
    // each followed by '\n' but the last when the text does not end with a break.
    QString textWithLineFeeds() const;

    // Text copied out of the document separates its lines with U+2029; the list's own
    // text has CR LF breaks.
    static QString withCrLfBreaks(QString raw);

    // Besides '\n', the area makes a line break of U+2029 and of U+FDD0 and U+FDD1, which
    // Qt keeps for frames. withAreaBreaks() turns them into '\n', so that a text cut at
    // '\n' has the lines that the area would show for it. mayHoldAreaBreaks() tells
    // whether UTF-8 bytes can decode to one of them.
    static QString withAreaBreaks(QString text);
    static bool mayHoldAreaBreaks(QByteArrayView utf8);

protected:
    void SetUpdateState(bool updating) override;
    void SetLoadedText(const QString &text) override;

private:
    MemoEdit *m_memo;
};
