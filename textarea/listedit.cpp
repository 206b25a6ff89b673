#include "textarea/listedit.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QPlainTextDocumentLayout>
#include <QScopeGuard>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>

#include <cstring>

namespace {

constexpr qsizetype maxRowText = 4096;

// A CR LF pair inside a string is one break, as in every text the area receives; the
// document would otherwise make two blocks of it.
QString withHardBreaks(QString text)
{
    if (text.contains(QLatin1Char('\r')))
        text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return text;
}

// The breaks are widened in one pass from the end, in the text's own buffer: a buffer
// grown in place keeps its pages, while first touching the pages of a fresh one costs
// more than the pass itself on a large text.
QString withCrLfBreaks(QString text)
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
QString rawText(const QTextDocument *document)
{
    return document->toRawText();
}

bool isAreaBreak(QChar c)
{
    return c == QChar::ParagraphSeparator || c == QChar(0xFDD0) || c == QChar(0xFDD1);
}

// The area's own layout of block, made now if the area has not made it yet.
QTextLayout *blockLayout(const QTextDocument *document, const QTextBlock &block)
{
    qobject_cast<QPlainTextDocumentLayout *>(document->documentLayout())->ensureBlockLayout(block);
    return block.layout();
}

} // namespace

ListEdit::ListEdit(QWidget *parent)
    : QPlainTextEdit(parent)
{
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTabChangesFocus(true);
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
}

qsizetype ListEdit::lineCount() const
{
    const int blocks = document()->blockCount();
    // A block's length counts its break, so an empty last block has length 1.
    return document()->lastBlock().length() == 1 ? blocks - 1 : blocks;
}

QString ListEdit::line(qsizetype index) const
{
    if (index < 0 || index >= lineCount())
        return QString();
    return document()->findBlockByNumber(int(index)).text();
}

QStringList ListEdit::lines() const
{
    QStringList lines = rawText(document()).split(QChar::ParagraphSeparator);
    if (lines.constLast().isEmpty())
        lines.removeLast();
    return lines;
}

QString ListEdit::text() const
{
    return rawText(document()).replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
}

QString ListEdit::textWithCrLf() const
{
    return withCrLfBreaks(rawText(document()));
}

void ListEdit::setLines(const QStringList &lines)
{
    qsizetype size = lines.size();
    for (const QString &line : lines)
        size += line.size();
    QString text;
    text.reserve(size);
    for (const QString &line : lines) {
        text += withHardBreaks(line);
        text += QLatin1Char('\n');
    }
    replaceText(text);
    moveCursor(QTextCursor::End);
}

void ListEdit::setLoadedText(const QString &text)
{
    if (!holdsText(document(), text))
        replaceText(text);
}

// The area repaints once, when the whole text is in.
void ListEdit::replaceText(const QString &text)
{
    setUpdatesEnabled(false);
    const auto repaint = qScopeGuard([this] {
        setUpdatesEnabled(true);
        viewport()->update();
    });
    emit replacingText(text.size());
    setPlainText(text);
}

QString ListEdit::caretRowText() const
{
    const int s = textCursor().selectionStart();
    const QTextBlock block = document()->findBlock(s);
    const QTextLine row = blockLayout(document(), block)->lineForTextPosition(s - block.position());

    const int start = block.position() + row.textStart();
    int end = start + row.textLength();
    if (end > start && document()->characterAt(end - 1) == QChar::LineSeparator)
        --end;
    end = int(qMin<qsizetype>(end, start + maxRowText));

    QTextCursor cursor(document());
    cursor.setPosition(start);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    return cursor.selectedText();
}

QString ListEdit::withAreaBreaks(QString text)
{
    for (QChar &c : text) {
        if (isAreaBreak(c))
            c = QLatin1Char('\n');
    }
    return text;
}

// U+2029 is E2 80 A9 in UTF-8, U+FDD0 and U+FDD1 are EF B7 90 and EF B7 91. Ill-formed
// bytes around them do not change how they decode.
bool ListEdit::mayHoldAreaBreaks(QByteArrayView utf8)
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

QMimeData *ListEdit::createMimeDataFromSelection() const
{
    auto *mimeData = new QMimeData;
    mimeData->setText(withCrLfBreaks(textCursor().selectedText()));
    return mimeData;
}

void ListEdit::keyPressEvent(QKeyEvent *event)
{
    // Shift+Enter would insert a soft line separator: it looks like a break but leaves
    // both halves in one line of the list, and is saved as U+2028. Make it a hard break.
    if (event->matches(QKeySequence::InsertLineSeparator) && !isReadOnly()) {
        insertPlainText(QStringLiteral("\n"));
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}
