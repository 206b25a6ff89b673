#include "support/testsupport.h"
#include "textarea/listedit.h"
#include "worklist/textfile.h"

#include <QClipboard>
#include <QMimeData>
#include <QPlainTextDocumentLayout>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

class TestListEdit : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void countAndLines_data();
    void countAndLines();
    void wrappedHardLineIsOneLine();
    void setLines_data();
    void setLines();
    void loadedFileLines_data();
    void loadedFileLines();
    void sameTextChangesNothing();
    void otherTextPutsCaretAtStart();
    void areaBreaks_data();
    void areaBreaks();
    void copyGivesListText_data();
    void copyGivesListText();
    void shiftEnterMakesHardBreak();
    void caretRowTextPerRow();
    void caretRowTextEnds();

private:
    // A hard line of words that the area wraps into exactly three rows.
    QString threeRowLine();
    int rowStart(int blockNumber, int row);
    void loadFile(const QByteArray &bytes);

    ListEdit *m_listEdit = nullptr;
    QTemporaryDir *m_dir = nullptr;
};

void TestListEdit::init()
{
    m_listEdit = new ListEdit;
    m_listEdit->resize(220, 150);
    m_listEdit->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_listEdit));
    m_dir = new QTemporaryDir;
    QVERIFY(m_dir->isValid());
}

void TestListEdit::cleanup()
{
    delete m_listEdit;
    delete m_dir;
}

QString TestListEdit::threeRowLine()
{
    QString line;
    for (int i = 0; i < 200; ++i)
        line += QStringLiteral("mot%1 ").arg(i);
    m_listEdit->setPlainText(line);
    const QTextBlock block = m_listEdit->document()->firstBlock();
    qobject_cast<QPlainTextDocumentLayout *>(m_listEdit->document()->documentLayout())
            ->ensureBlockLayout(block);
    // Wrapping is greedy, so the text of the first three rows wraps the same way alone.
    return line.left(block.layout()->lineAt(3).textStart());
}

int TestListEdit::rowStart(int blockNumber, int row)
{
    const QTextBlock block = m_listEdit->document()->findBlockByNumber(blockNumber);
    qobject_cast<QPlainTextDocumentLayout *>(m_listEdit->document()->documentLayout())
            ->ensureBlockLayout(block);
    if (block.layout()->lineCount() != 3)
        qFatal("the line wraps into %d rows", block.layout()->lineCount());
    return block.position() + block.layout()->lineAt(row).textStart();
}

// Loads bytes as the window loads a file.
void TestListEdit::loadFile(const QByteArray &bytes)
{
    const QString path = writeFile(m_dir->path(), QStringLiteral("in.txt"), bytes);
    m_listEdit->setLoadedText(decodeText(readTextFile(path)));
}

void TestListEdit::countAndLines_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("crlfText");

    QTest::newRow("empty") << QString() << QStringList() << QString();
    QTest::newRow("final break") << "a\nb\n" << QStringList{"a", "b"} << "a\r\nb\r\n";
    QTest::newRow("no final break") << "a\nb" << QStringList{"a", "b"} << "a\r\nb";
    QTest::newRow("empty line inside") << "a\n\nb" << QStringList{"a", "", "b"} << "a\r\n\r\nb";
    QTest::newRow("break only") << "\n" << QStringList{""} << "\r\n";
    QTest::newRow("two breaks") << "\n\n" << QStringList{"", ""} << "\r\n\r\n";
    QTest::newRow("no-break space kept") << QString::fromUtf16(u"a\u00a0b\n")
                                         << QStringList{QString::fromUtf16(u"a\u00a0b")}
                                         << QString::fromUtf16(u"a\u00a0b\r\n");
    QTest::newRow("line separator inside a line")
            << QString::fromUtf16(u"a\u2028b\n\nc") << QStringList{QString::fromUtf16(u"a\u2028b"), "", "c"}
            << QString::fromUtf16(u"a\u2028b\r\n\r\nc");
}

void TestListEdit::countAndLines()
{
    QFETCH(QString, text);
    QFETCH(QStringList, lines);
    QFETCH(QString, crlfText);

    m_listEdit->setPlainText(text);
    QCOMPARE(m_listEdit->lineCount(), lines.size());
    for (int i = 0; i < lines.size(); ++i)
        QCOMPARE(m_listEdit->line(i), lines.at(i));
    QCOMPARE(m_listEdit->line(lines.size()), QString());
    QCOMPARE(m_listEdit->line(-1), QString());
    QCOMPARE(m_listEdit->textWithCrLf(), crlfText);
    QCOMPARE(m_listEdit->lines(), lines);
    QCOMPARE(m_listEdit->text(), text);
}

void TestListEdit::wrappedHardLineIsOneLine()
{
    QString line;
    for (int i = 0; line.size() < 6000; ++i)
        line += QStringLiteral("mot%1 ").arg(i);
    m_listEdit->setPlainText(QStringLiteral("avant\n") + line + QStringLiteral("\napres"));

    const QTextBlock block = m_listEdit->document()->findBlockByNumber(1);
    qobject_cast<QPlainTextDocumentLayout *>(m_listEdit->document()->documentLayout())
            ->ensureBlockLayout(block);
    QVERIFY(block.layout()->lineCount() > 3);

    QCOMPARE(m_listEdit->lineCount(), 3);
    QCOMPARE(m_listEdit->line(1), line);
    QCOMPARE(m_listEdit->line(2), QStringLiteral("apres"));
}

void TestListEdit::setLines_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("crlfText");
    QTest::addColumn<int>("lineCount");

    QTest::newRow("empty list empties the area") << "a\nb" << QStringList() << QString() << 0;
    QTest::newRow("into an empty area") << QString() << QStringList{"x"} << "x\r\n" << 1;
    QTest::newRow("empty lines") << "a" << QStringList{"", ""} << "\r\n\r\n" << 2;
    QTest::newRow("tricky lines")
            << "old\ntext\n"
            << QStringList{"b", "", QString::fromUtf16(u"\u00a0a\u2028"), "c\r\nd", "\"i"}
            << QString::fromUtf16(u"b\r\n\r\n\u00a0a\u2028\r\nc\r\nd\r\n\"i\r\n") << 6;
}

// Each line followed by a break, a CR LF inside a line one break; the caret at the end,
// nothing to undo, one repaint.
void TestListEdit::setLines()
{
    QFETCH(QString, before);
    QFETCH(QStringList, lines);
    QFETCH(QString, crlfText);
    QFETCH(int, lineCount);

    m_listEdit->setPlainText(before);
    QSignalSpy replacing(m_listEdit, &ListEdit::replacingText);
    m_listEdit->setLines(lines);
    QCOMPARE(m_listEdit->textWithCrLf(), crlfText);
    QCOMPARE(m_listEdit->lineCount(), lineCount);
    QCOMPARE(m_listEdit->textCursor().position(), m_listEdit->document()->characterCount() - 1);
    QVERIFY(!m_listEdit->document()->isUndoAvailable());
    QVERIFY(m_listEdit->updatesEnabled());
    QCOMPARE(replacing.count(), 1);
}

void TestListEdit::loadedFileLines_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("empty file") << QByteArray() << QStringList();
    QTest::newRow("final break") << QByteArray("a\r\nb\r\n") << QStringList{"a", "b"};
    QTest::newRow("no final break") << QByteArray("a\r\nb") << QStringList{"a", "b"};
    QTest::newRow("empty line inside") << QByteArray("a\r\n\r\nb") << QStringList{"a", "", "b"};
    QTest::newRow("only a break") << QByteArray("\r\n") << QStringList{""};
    QTest::newRow("two breaks") << QByteArray("\r\n\r\n") << QStringList{"", ""};
    QTest::newRow("empty line at the end") << QByteArray("a\r\n\r\n") << QStringList{"a", ""};
    QTest::newRow("LF breaks") << QByteArray("a\nb\n") << QStringList{"a", "b"};
    QTest::newRow("CR break") << QByteArray("a\rb") << QStringList{"a", "b"};
    QTest::newRow("LF CR") << QByteArray("a\n\rb") << QStringList{"a", "", "b"};
    QTest::newRow("CR CR LF") << QByteArray("a\r\r\nb") << QStringList{"a", "", "b"};
    QTest::newRow("blanks kept") << QByteArray(" a \r\n\t") << QStringList{" a ", "\t"};
}

void TestListEdit::loadedFileLines()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, lines);

    m_listEdit->setPlainText(QStringLiteral("old"));
    loadFile(bytes);
    QCOMPARE(m_listEdit->lines(), lines);
    QCOMPARE(m_listEdit->lineCount(), lines.size());
    QCOMPARE(m_listEdit->textCursor().position(), 0);
}

void TestListEdit::sameTextChangesNothing()
{
    QByteArray bytes;
    for (int i = 0; i < 200; ++i)
        bytes += "ligne " + QByteArray::number(i) + "\r\n";
    loadFile(bytes);

    QTextCursor cursor = m_listEdit->textCursor();
    cursor.setPosition(900);
    cursor.setPosition(950, QTextCursor::KeepAnchor);
    m_listEdit->setTextCursor(cursor);
    m_listEdit->verticalScrollBar()->setValue(40);
    const int scroll = m_listEdit->verticalScrollBar()->value();
    QVERIFY(scroll > 0);

    // The same lines with LF breaks convert to the text the area holds.
    QSignalSpy changed(m_listEdit, &QPlainTextEdit::textChanged);
    QSignalSpy replacing(m_listEdit, &ListEdit::replacingText);
    loadFile(QByteArray(bytes).replace("\r\n", "\n"));
    QCOMPARE(changed.count(), 0);
    QCOMPARE(replacing.count(), 0);
    QCOMPARE(m_listEdit->textCursor().anchor(), 900);
    QCOMPARE(m_listEdit->textCursor().position(), 950);
    QCOMPARE(m_listEdit->verticalScrollBar()->value(), scroll);
}

void TestListEdit::otherTextPutsCaretAtStart()
{
    loadFile("abc\r\ndef\r\n");
    m_listEdit->moveCursor(QTextCursor::End);

    // Same length, one unit differs.
    loadFile("abc\r\ndeg\r\n");
    QCOMPARE(m_listEdit->textWithCrLf(), QStringLiteral("abc\r\ndeg\r\n"));
    QCOMPARE(m_listEdit->textCursor().position(), 0);

    // Same units, the break elsewhere.
    loadFile("abcd\r\neg\r\n");
    QCOMPARE(m_listEdit->textWithCrLf(), QStringLiteral("abcd\r\neg\r\n"));
}

void TestListEdit::areaBreaks_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("breaks");

    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("none") << QByteArray("a\xC3\xA9\xE2\x80\x99 b\xEF\xBB\xBF") << false;
    QTest::newRow("only a break") << QByteArray("\xE2\x80\xA9") << true;
    QTest::newRow("paragraph separator") << QByteArray("a\xE2\x80\xA9" "b") << true;
    QTest::newRow("frame start") << QByteArray("a\xEF\xB7\x90") << true;
    QTest::newRow("frame end") << QByteArray("\xEF\xB7\x91" "b") << true;
    QTest::newRow("other noncharacter") << QByteArray("a\xEF\xB7\x92" "b") << false;
    QTest::newRow("line separator") << QByteArray("a\xE2\x80\xA8" "b") << false;
    QTest::newRow("cut at the end") << QByteArray("a\xE2\x80") << false;
    QTest::newRow("after a broken sequence") << QByteArray("\xC3\xE2\x80\xA9\xE2\xEF\xB7\x90") << true;
    QTest::newRow("stray continuation bytes") << QByteArray("\x80\xA9\xB7\x90") << false;
}

// The breaks the fast paths assume against the lines the area makes of a decoded text.
void TestListEdit::areaBreaks()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, breaks);

    const QString text = decodeText(rawTextFromBytes(bytes));
    m_listEdit->setPlainText(text);
    QStringList lines = ListEdit::withAreaBreaks(text).split(QLatin1Char('\n'));
    if (lines.constLast().isEmpty())
        lines.removeLast();
    QCOMPARE(m_listEdit->lines(), lines);
    QCOMPARE(m_listEdit->document()->blockCount() > 1, breaks);
    QCOMPARE(ListEdit::mayHoldAreaBreaks(bytes), breaks);
}

void TestListEdit::copyGivesListText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<QString>("copied");

    const QString text = QString::fromUtf16(u"a\u00a0b\nc\u2028d\n\ne\n");
    QTest::newRow("all") << text << 0 << int(text.size()) << QString::fromUtf16(u"a\u00a0b\r\nc\u2028d\r\n\r\ne\r\n");
    QTest::newRow("across a break") << text << 2 << 5 << QStringLiteral("b\r\nc");
}

// The area's own copy, cut and drag put the list's text on the clipboard.
void TestListEdit::copyGivesListText()
{
    QFETCH(QString, text);
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(QString, copied);

    m_listEdit->setPlainText(text);
    QTextCursor cursor = m_listEdit->textCursor();
    cursor.setPosition(from);
    cursor.setPosition(to, QTextCursor::KeepAnchor);
    m_listEdit->setTextCursor(cursor);
    m_listEdit->copy();
    QCOMPARE(QGuiApplication::clipboard()->text(), copied);
    const std::unique_ptr<QMimeData> dragged(m_listEdit->createMimeDataFromSelection());
    QCOMPARE(dragged->text(), copied);

    QGuiApplication::clipboard()->clear();
    m_listEdit->cut();
    QCOMPARE(QGuiApplication::clipboard()->text(), copied);
}

void TestListEdit::shiftEnterMakesHardBreak()
{
    m_listEdit->setPlainText(QString());
    m_listEdit->setFocus();
    QTest::keyClicks(m_listEdit, QStringLiteral("ab"));
    QTest::keyClick(m_listEdit, Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClicks(m_listEdit, QStringLiteral("cd"));
    QCOMPARE(m_listEdit->textWithCrLf(), QStringLiteral("ab\r\ncd"));
    QCOMPARE(m_listEdit->lineCount(), 2);
}

void TestListEdit::caretRowTextPerRow()
{
    const QString line = threeRowLine();
    m_listEdit->setPlainText(QStringLiteral("debut\n") + line + QStringLiteral("\nfin"));

    QStringList rows;
    for (int row = 0; row < 3; ++row) {
        QTextCursor cursor = m_listEdit->textCursor();
        cursor.setPosition(rowStart(1, row) + 1);
        m_listEdit->setTextCursor(cursor);
        rows << m_listEdit->caretRowText();
    }
    QVERIFY(rows.at(1).size() < line.size() / 2);
    QCOMPARE(rows.join(QString()), line);

    // A selection made backwards gives the row of its lower end.
    const int start = rowStart(1, 2) + 1;
    QTextCursor cursor = m_listEdit->textCursor();
    cursor.movePosition(QTextCursor::End);
    cursor.setPosition(start, QTextCursor::KeepAnchor);
    m_listEdit->setTextCursor(cursor);
    QCOMPARE(m_listEdit->caretRowText(), rows.at(2));
}

void TestListEdit::caretRowTextEnds()
{
    m_listEdit->setPlainText(QStringLiteral("abc\n"));
    m_listEdit->moveCursor(QTextCursor::End);
    QCOMPARE(m_listEdit->caretRowText(), QString());

    m_listEdit->setPlainText(QString::fromUtf16(u"ab\u2028cd\u00a0e"));
    QCOMPARE(m_listEdit->caretRowText(), QStringLiteral("ab"));
    m_listEdit->moveCursor(QTextCursor::End);
    QCOMPARE(m_listEdit->caretRowText(), QString::fromUtf16(u"cd\u00a0e"));

    m_listEdit->setLineWrapMode(QPlainTextEdit::NoWrap);
    const QString longRow = QString(3000, QLatin1Char('x')) + QString(3000, QLatin1Char('y'));
    m_listEdit->setPlainText(longRow);
    QCOMPARE(m_listEdit->caretRowText(), longRow.left(4096));
}

QTEST_MAIN(TestListEdit)
#include "tst_listedit.moc"
