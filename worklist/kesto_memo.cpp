#include "worklist/kesto_memo.h"

#include "worklist/memoedit.h"
#include "worklist/tstringlist.h"

#include <QPlainTextDocumentLayout>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>

namespace {

QPlainTextDocumentLayout *documentLayout(MemoEdit *memo)
{
    return qobject_cast<QPlainTextDocumentLayout *>(memo->document()->documentLayout());
}

// The area's own layout of block, made now if the area has not made it yet.
QTextLayout *blockLayout(MemoEdit *memo, const QTextBlock &block)
{
    documentLayout(memo)->ensureBlockLayout(block);
    return block.layout();
}

int rowCount(MemoEdit *memo, const QTextBlock &block)
{
    if (!block.isVisible())
        return 0;
    QTextLayout *layout = block.layout();
    if (layout->lineCount() > 0)
        return layout->lineCount();
    const int rows = blockLayout(memo, block)->lineCount();
    // Only the blocks on screen keep their rows; a large text laid out in full would
    // hold a great deal of memory.
    layout->clearLayout();
    return rows;
}

} // namespace

void MEMO_Sort(MemoEdit *MEMO, const Progress &progress)
{
    TStringList Temp;
    MEMO->Lines()->CopyTo(Temp);
    Temp.Sort(progress);
    MEMO->Lines()->Assign(Temp);
}

int Memo_GetRow(MemoEdit *myMEMO)
{
    const QTextDocument *document = myMEMO->document();
    const int s = myMEMO->textCursor().selectionStart();
    const QTextBlock target = document->findBlock(s);
    int row = 0;
    for (QTextBlock block = document->begin(); block != target; block = block.next())
        row += rowCount(myMEMO, block);
    const QTextLine line = blockLayout(myMEMO, target)->lineForTextPosition(s - target.position());
    return row + line.lineNumber();
}

QString caretRowText(MemoEdit *memo)
{
    const QTextDocument *document = memo->document();
    const int s = memo->textCursor().selectionStart();
    const QTextBlock block = document->findBlock(s);
    const QTextLine line = blockLayout(memo, block)->lineForTextPosition(s - block.position());

    const int start = block.position() + line.textStart();
    int end = start + line.textLength();
    if (end > start && document->characterAt(end - 1) == QChar::LineSeparator)
        --end;
    end = qMin(end, start + 4096);

    QTextCursor cursor(memo->document());
    cursor.setPosition(start);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    return cursor.selectedText();
}
