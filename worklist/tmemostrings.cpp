#include "worklist/tmemostrings.h"

#include "worklist/memoedit.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <cstring>

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

// The document's own text keeps U+00A0 as it is, which its plain text would turn into a
// space, and separates blocks by U+2029, which nothing else in the document can hold.
QString rawText(const MemoEdit *memo)
{
    return memo->document()->toRawText();
}

bool isAreaBreak(QChar c)
{
    return c == QChar::ParagraphSeparator || c == QChar(0xFDD0) || c == QChar(0xFDD1);
}

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
    qsizetype size = count;
    for (int i = 0; i < count; ++i)
        size += source.Strings(i).size();
    QString text;
    text.reserve(size);
    for (int i = 0; i < count; ++i) {
        text += withHardBreaks(source.Strings(i));
        text += QLatin1Char('\n');
    }

    UpdateBlock update(*this);
    CopyAttributes(source);
    m_memo->replaceText(text);
    m_memo->moveCursor(QTextCursor::End);
}

QString TMemoStrings::Text() const
{
    return withCrLfBreaks(rawText(m_memo));
}

void TMemoStrings::CopyTo(TStringList &target) const
{
    target.items() = lines();
    target.CopyAttributes(*this);
}

QStringList TMemoStrings::lines() const
{
    QStringList lines = rawText(m_memo).split(QChar::ParagraphSeparator);
    if (lines.constLast().isEmpty())
        lines.removeLast();
    return lines;
}

QString TMemoStrings::textWithLineFeeds() const
{
    return rawText(m_memo).replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
}

// The breaks are widened in one pass from the end, in the text's own buffer: a buffer
// grown in place keeps its pages, while first touching the pages of a fresh one costs
// more than the pass itself on a large text.
QString TMemoStrings::withCrLfBreaks(QString text)
{
    qsizetype from = text.size();
    text.resize(from + QStringView(text).count(QChar::ParagraphSeparator));
    QChar *data = text.data();
    for (qsizetype to = text.size(); from > 0;) {
        const QChar c = data[--from];
        if (c == QChar::ParagraphSeparator) {
            data[--to] = QLatin1Char('\n');
            data[--to] = QLatin1Char('\r');
        } else {
            data[--to] = c;
        }
    }
    return text;
}

QString TMemoStrings::withAreaBreaks(QString text)
{
    for (QChar &c : text) {
        if (isAreaBreak(c))
            c = QLatin1Char('\n');
    }
    return text;
}

// U+2029 is E2 80 A9 in UTF-8, U+FDD0 and U+FDD1 are EF B7 90 and EF B7 91. Ill-formed
// bytes around them do not change how they decode.
bool TMemoStrings::mayHoldAreaBreaks(QByteArrayView utf8)
{
    if (utf8.size() < 3)
        return false;
    const auto *begin = reinterpret_cast<const uchar *>(utf8.data());
    const auto *end = begin + utf8.size();
    for (const uchar lead : { uchar(0xE2), uchar(0xEF) }) {
        for (const uchar *p = begin; end - p >= 3
             && (p = static_cast<const uchar *>(std::memchr(p, lead, end - p - 2)));
             ++p) {
            if (lead == 0xE2 ? p[1] == 0x80 && p[2] == 0xA9
                             : p[1] == 0xB7 && (p[2] == 0x90 || p[2] == 0x91))
                return true;
        }
    }
    return false;
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
    m_memo->replaceText(text);
}
