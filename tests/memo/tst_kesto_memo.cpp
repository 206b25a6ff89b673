#include "support/testsupport.h"
#include "worklist/kesto_memo.h"
#include "worklist/memoedit.h"

#include <QPlainTextDocumentLayout>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

class TestKestoMemo : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void sort_data();
    void sort();
    void sortKeepsLongLinesWhole();
    void sortKeepsEncodingThroughSave();
    void cancelledSortChangesNothing();
    void getRow_data();
    void getRow();
    void getRowBackwardSelection();
    void caretRowTextPerRow();
    void caretRowTextEnds();

private:
    // A hard line of words that the area wraps into exactly three rows.
    QString threeRowLine();
    int rowStart(int blockNumber, int row);

    MemoEdit *m_memo = nullptr;
};

void TestKestoMemo::init()
{
    m_memo = new MemoEdit;
    m_memo->resize(220, 150);
    m_memo->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_memo));
}

void TestKestoMemo::cleanup()
{
    delete m_memo;
}

QString TestKestoMemo::threeRowLine()
{
    QString line;
    for (int i = 0; i < 200; ++i)
        line += QStringLiteral("mot%1 ").arg(i);
    m_memo->setPlainText(line);
    const QTextBlock block = m_memo->document()->firstBlock();
    qobject_cast<QPlainTextDocumentLayout *>(m_memo->document()->documentLayout())
            ->ensureBlockLayout(block);
    // Wrapping is greedy, so the text of the first three rows wraps the same way alone.
    return line.left(block.layout()->lineAt(3).textStart());
}

int TestKestoMemo::rowStart(int blockNumber, int row)
{
    const QTextBlock block = m_memo->document()->findBlockByNumber(blockNumber);
    qobject_cast<QPlainTextDocumentLayout *>(m_memo->document()->documentLayout())
            ->ensureBlockLayout(block);
    if (block.layout()->lineCount() != 3)
        qFatal("the line wraps into %d rows", block.layout()->lineCount());
    return block.position() + block.layout()->lineAt(row).textStart();
}

void TestKestoMemo::sort_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("sorted");

    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("single line gains a break") << "b" << "b\r\n";
    QTest::newRow("a A") << "a\nA\n" << "A\r\na\r\n";
    QTest::newRow("A a") << "A\na\n" << "a\r\nA\r\n";
    QTest::newRow("b A a B") << "b\nA\na\nB" << "a\r\nA\r\nB\r\nb\r\n";
    QTest::newRow("empty lines first") << "c\n\nb\n\na\n" << "\r\n\r\na\r\nb\r\nc\r\n";
    QTest::newRow("duplicates kept") << "b\na\nb\n" << "a\r\nb\r\nb\r\n";
}

void TestKestoMemo::sort()
{
    QFETCH(QString, text);
    QFETCH(QString, sorted);

    m_memo->setPlainText(text);
    m_memo->Lines()->SetWriteBOM(false);
    m_memo->Lines()->SetDelimiter(QLatin1Char(';'));
    MEMO_Sort(m_memo);
    QCOMPARE(m_memo->Lines()->Text(), sorted);
    QCOMPARE(m_memo->textCursor().position(), m_memo->document()->characterCount() - 1);
    QVERIFY(!m_memo->document()->isUndoAvailable());
    QCOMPARE(m_memo->Lines()->Encoding(), TEncoding::ANSI);
    QCOMPARE(m_memo->Lines()->WriteBOM(), false);
    QCOMPARE(m_memo->Lines()->Delimiter(), QLatin1Char(';'));
}

void TestKestoMemo::sortKeepsLongLinesWhole()
{
    const QString line = threeRowLine() + QString(5000, QLatin1Char('z'));
    m_memo->setPlainText(line + QStringLiteral("\nabc"));
    MEMO_Sort(m_memo);
    QCOMPARE(m_memo->Lines()->Text(), QStringLiteral("abc\r\n") + line + QStringLiteral("\r\n"));
}

void TestKestoMemo::sortKeepsEncodingThroughSave()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString in = writeFile(dir.path(), QStringLiteral("in.txt"),
                                 "\xEF\xBB\xBF" "z@b.fr\r\nb\xC3\xA9@a.fr\r\na@c.fr");
    const QString out = dir.filePath(QStringLiteral("out.txt"));

    m_memo->Lines()->LoadFromFile(in);
    MEMO_Sort(m_memo);
    QCOMPARE(m_memo->Lines()->Encoding(), TEncoding::UTF8);
    m_memo->Lines()->SaveToFile(out);
    QCOMPARE(readFile(out), QByteArray("\xEF\xBB\xBF" "a@c.fr\r\nb\xC3\xA9@a.fr\r\nz@b.fr\r\n"));
}

void TestKestoMemo::cancelledSortChangesNothing()
{
    QString text;
    for (int i = 100000; i > 0; --i)
        text += QString::number(i) + QLatin1Char('\n');
    m_memo->setPlainText(text);
    m_memo->Lines()->SetEncoding(TEncoding::Unicode);

    QVERIFY_THROWS_EXCEPTION(OperationCancelled,
                             MEMO_Sort(m_memo, [](qint64, qint64) { return false; }));
    QCOMPARE(m_memo->document()->toPlainText(), text);
    QCOMPARE(m_memo->Lines()->Strings(0), QStringLiteral("100000"));
    QCOMPARE(m_memo->Lines()->Encoding(), TEncoding::Unicode);
    QVERIFY(m_memo->updatesEnabled());
}

void TestKestoMemo::getRow_data()
{
    QTest::addColumn<int>("before");
    QTest::addColumn<bool>("finalBreak");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("expected");

    // before: hard lines of three rows ahead of the line that holds the caret.
    QTest::newRow("first row") << 0 << false << 0 << 0;
    QTest::newRow("third row") << 0 << false << 2 << 2;
    QTest::newRow("third row after a wrapped line") << 1 << false << 2 << 5;
    QTest::newRow("second row after forty wrapped lines") << 40 << true << 1 << 121;
    QTest::newRow("after the final break") << 1 << true << -1 << 6;
}

void TestKestoMemo::getRow()
{
    QFETCH(int, before);
    QFETCH(bool, finalBreak);
    QFETCH(int, row);
    QFETCH(int, expected);

    const QString line = threeRowLine();
    QString text;
    for (int i = 0; i <= before; ++i)
        text += (i ? QStringLiteral("\n") : QString()) + line;
    if (finalBreak)
        text += QLatin1Char('\n');
    m_memo->setPlainText(text);

    QTextCursor cursor = m_memo->textCursor();
    if (row < 0)
        cursor.movePosition(QTextCursor::End);
    else
        cursor.setPosition(rowStart(before, row) + 2);
    m_memo->setTextCursor(cursor);
    QCOMPARE(Memo_GetRow(m_memo), expected);
}

void TestKestoMemo::getRowBackwardSelection()
{
    QCOMPARE(Memo_GetRow(m_memo), 0);

    m_memo->setPlainText(QStringLiteral("debut\n") + threeRowLine() + QStringLiteral("\nfin\n"));
    const int start = rowStart(1, 2) + 1;
    QTextCursor cursor = m_memo->textCursor();
    cursor.movePosition(QTextCursor::End);
    cursor.setPosition(start, QTextCursor::KeepAnchor);
    m_memo->setTextCursor(cursor);
    QCOMPARE(Memo_GetRow(m_memo), 3);

    cursor.setPosition(start);
    cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    m_memo->setTextCursor(cursor);
    QCOMPARE(Memo_GetRow(m_memo), 3);
}

void TestKestoMemo::caretRowTextPerRow()
{
    const QString line = threeRowLine();
    m_memo->setPlainText(QStringLiteral("debut\n") + line + QStringLiteral("\nfin"));

    QStringList rows;
    for (int row = 0; row < 3; ++row) {
        QTextCursor cursor = m_memo->textCursor();
        cursor.setPosition(rowStart(1, row) + 1);
        m_memo->setTextCursor(cursor);
        rows << caretRowText(m_memo);
    }
    QVERIFY(rows.at(1).size() < line.size() / 2);
    QCOMPARE(rows.join(QString()), line);
}

void TestKestoMemo::caretRowTextEnds()
{
    m_memo->setPlainText(QStringLiteral("abc\n"));
    m_memo->moveCursor(QTextCursor::End);
    QCOMPARE(caretRowText(m_memo), QString());

    m_memo->setPlainText(QString::fromUtf16(u"ab\u2028cd\u00a0e"));
    QCOMPARE(caretRowText(m_memo), QStringLiteral("ab"));
    m_memo->moveCursor(QTextCursor::End);
    QCOMPARE(caretRowText(m_memo), QString::fromUtf16(u"cd\u00a0e"));

    m_memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    const QString longRow = QString(3000, QLatin1Char('x')) + QString(3000, QLatin1Char('y'));
    m_memo->setPlainText(longRow);
    QCOMPARE(caretRowText(m_memo), longRow.left(4096));
}

QTEST_MAIN(TestKestoMemo)
#include "tst_kesto_memo.moc"
