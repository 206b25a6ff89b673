#pragma once

#include "worklist/tstrings.h"

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

protected:
    void SetUpdateState(bool updating) override;
    void SetLoadedText(const QString &text) override;

private:
    MemoEdit *m_memo;
};
