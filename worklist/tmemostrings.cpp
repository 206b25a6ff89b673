#include "worklist/tmemostrings.h"

#include "worklist/memoedit.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

namespace {

// A CR LF pair inside a string is one break, as in every text the area receives; the
// document would otherwise make two blocks of it.
QString withHardBreaks(QString text)
{
    if (text.contains(QLatin1Char('\r')))
        text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return text;
}

// Whether the document holds exactly text, with '\n' between blocks. The lengths are
// compared first, so a different text of another size costs nothing.
bool holdsText(const QTextDocument *document, QStringView text)
{
    if (document->characterCount() - 1 != text.size())
        return false;
    qsizetype pos = 0;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        const QString line = block.text();
        if (text.sliced(pos, line.size()) != line)
            return false;
        pos += line.size();
        if (pos < text.size() && text.at(pos++) != QLatin1Char('\n'))
            return false;
    }
    return true;
}

// Drawing resumes also when putting the text in fails.
class UpdateBlock
{
public:
    explicit UpdateBlock(TStrings &strings) : m_strings(strings) { m_strings.BeginUpdate(); }
    ~UpdateBlock() { m_strings.EndUpdate(); }

private:
    TStrings &m_strings;
};

} // namespace

TMemoStrings::TMemoStrings(MemoEdit *memo)
    : m_memo(memo)
{
}

int TMemoStrings::Count() const
{
    const QTextDocument *document = m_memo->document();
    const int blocks = document->blockCount();
    // A block's length counts its break, so an empty last block has length 1.
    return document->lastBlock().length() == 1 ? blocks - 1 : blocks;
}

QString TMemoStrings::Strings(int index) const
{
    const QTextBlock block = m_memo->document()->findBlockByNumber(index);
    return block.isValid() ? block.text() : QString();
}

void TMemoStrings::Clear()
{
    m_memo->clear();
}

int TMemoStrings::Add(const QString &s)
{
    QTextDocument *document = m_memo->document();
    const QTextBlock last = document->lastBlock();
    const int index = Count();

    QTextCursor cursor = m_memo->textCursor();
    QString insertion;
    if (last.length() == 1) {
        cursor.setPosition(last.position());
        insertion = withHardBreaks(s) + QLatin1Char('\n');
    } else {
        // The text does not end with a break: the new line goes after one, and an empty
        // line needs a break of its own to count.
        cursor.setPosition(last.position() + last.length() - 1);
        insertion = QLatin1Char('\n') + withHardBreaks(s);
        if (s.isEmpty())
            insertion += QLatin1Char('\n');
    }

    // Appending cannot be undone, like every other change the program makes to the list.
    const bool undoRedo = document->isUndoRedoEnabled();
    document->setUndoRedoEnabled(false);
    cursor.insertText(insertion);
    document->setUndoRedoEnabled(undoRedo);
    m_memo->setTextCursor(cursor);
    return index;
}

void TMemoStrings::Assign(const TStrings &source)
{
    const int count = source.Count();
    QString text;
    for (int i = 0; i < count; ++i) {
        text += withHardBreaks(source.Strings(i));
        text += QLatin1Char('\n');
    }

    UpdateBlock update(*this);
    CopyAttributes(source);
    m_memo->setPlainText(text);
    m_memo->moveCursor(QTextCursor::End);
}

QString TMemoStrings::Text() const
{
    // The raw text keeps U+00A0 as it is and separates blocks by U+2029, which nothing
    // else in the document can hold. The breaks are widened in one pass: replacing them
    // one by one moves the rest of a large text for each of them.
    const QString raw = m_memo->document()->toRawText();
    const QStringView rawView(raw);
    QString text(raw.size() + rawView.count(QChar::ParagraphSeparator), Qt::Uninitialized);
    QChar *out = text.data();
    qsizetype from = 0;
    for (qsizetype at; (at = rawView.indexOf(QChar::ParagraphSeparator, from)) >= 0; from = at + 1) {
        out = std::copy(raw.cbegin() + from, raw.cbegin() + at, out);
        *out++ = QLatin1Char('\r');
        *out++ = QLatin1Char('\n');
    }
    std::copy(raw.cbegin() + from, raw.cend(), out);
    return text;
}

void TMemoStrings::SetUpdateState(bool updating)
{
    m_memo->setUpdatesEnabled(!updating);
    if (!updating)
        m_memo->viewport()->update();
}

void TMemoStrings::SetLoadedText(const QString &text)
{
    if (holdsText(m_memo->document(), text))
        return;
    m_memo->setPlainText(text);
}
