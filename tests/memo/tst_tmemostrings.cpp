#include "support/testsupport.h"
#include "worklist/memoedit.h"
#include "worklist/tstringlist.h"

#include <QClipboard>
#include <QMimeData>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QPlainTextDocumentLayout>

class TestTMemoStrings : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void countAndLines_data();
    void countAndLines();
    void copyToCarriesAttributes();
    void wrappedHardLineIsOneLine();
    void add_data();
    void add();
    void placeholderLine();
    void assign();
    void assignMatchesAppending_data();
    void assignMatchesAppending();
    void assignEmptyListEmptiesArea();
    void clearKeepsAttributes();
    void bulkUpdateSuspendsRepainting();
    void sameTextChangesNothing();
    void otherTextPutsCaretAtStart();
    void loadThenSaveKeepsEncoding_data();
    void loadThenSaveKeepsEncoding();
    void loadFromRawFile_data();
    void loadFromRawFile();
    void areaBreaks_data();
    void areaBreaks();
    void copyGivesListText_data();
    void copyGivesListText();
    void shiftEnterMakesHardBreak();

private:
    MemoEdit *m_memo = nullptr;
    QTemporaryDir *m_dir = nullptr;
};

void TestTMemoStrings::init()
{
    m_memo = new MemoEdit;
    m_memo->resize(200, 120);
    m_memo->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_memo));
    m_dir = new QTemporaryDir;
    QVERIFY(m_dir->isValid());
}

void TestTMemoStrings::cleanup()
{
    delete m_memo;
    delete m_dir;
}

void TestTMemoStrings::countAndLines_data()
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

void TestTMemoStrings::countAndLines()
{
    QFETCH(QString, text);
    QFETCH(QStringList, lines);
    QFETCH(QString, crlfText);

    m_memo->setPlainText(text);
    const TMemoStrings *view = m_memo->Lines();
    QCOMPARE(view->Count(), lines.size());
    for (int i = 0; i < lines.size(); ++i)
        QCOMPARE(view->Strings(i), lines.at(i));
    QCOMPARE(view->Strings(lines.size() + 1), QString());
    QCOMPARE(view->Strings(-1), QString());
    QCOMPARE(view->Text(), crlfText);

    // The reads of the whole text at once against the lines read one by one.
    QCOMPARE(view->lines(), lines);
    QCOMPARE(view->textWithLineFeeds(), text);
    TStringList viaAssign;
    viaAssign.Assign(*view);
    TStringList viaCopy;
    view->CopyTo(viaCopy);
    QCOMPARE(viaCopy.items(), viaAssign.items());
}

void TestTMemoStrings::copyToCarriesAttributes()
{
    m_memo->setPlainText(QStringLiteral("a\nb"));
    TMemoStrings *view = m_memo->Lines();
    view->SetDefaultEncoding(TEncoding::UTF8);
    view->SetWriteBOM(false);
    view->SetDelimiter(QLatin1Char(';'));
    view->SetQuoteChar(QLatin1Char('\''));
    view->SetStrictDelimiter(true);

    for (const TEncoding encoding : { TEncoding::None, TEncoding::BigEndianUnicode }) {
        view->SetEncoding(encoding);
        TStringList viaAssign;
        viaAssign.Assign(*view);
        TStringList viaCopy;
        viaCopy.SetWriteBOM(true);
        view->CopyTo(viaCopy);
        QCOMPARE(viaCopy.Encoding(), viaAssign.Encoding());
        QCOMPARE(viaCopy.DefaultEncoding(), viaAssign.DefaultEncoding());
        QCOMPARE(viaCopy.WriteBOM(), viaAssign.WriteBOM());
        QCOMPARE(viaCopy.Delimiter(), viaAssign.Delimiter());
        QCOMPARE(viaCopy.QuoteChar(), viaAssign.QuoteChar());
        QCOMPARE(viaCopy.StrictDelimiter(), viaAssign.StrictDelimiter());
    }
}

void TestTMemoStrings::wrappedHardLineIsOneLine()
{
    QString line;
    for (int i = 0; line.size() < 6000; ++i)
        line += QStringLiteral("mot%1 ").arg(i);
    m_memo->setPlainText(QStringLiteral("avant\n") + line + QStringLiteral("\napres"));

    const QTextBlock block = m_memo->document()->findBlockByNumber(1);
    qobject_cast<QPlainTextDocumentLayout *>(m_memo->document()->documentLayout())
            ->ensureBlockLayout(block);
    QVERIFY(block.layout()->lineCount() > 3);

    const TMemoStrings *view = m_memo->Lines();
    QCOMPARE(view->Count(), 3);
    QCOMPARE(view->Strings(1), line);
    QCOMPARE(view->Strings(2), QStringLiteral("apres"));
}

void TestTMemoStrings::add_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("crlfText");

    QTest::newRow("empty area") << QString() << "x" << 0 << "x\r\n";
    QTest::newRow("empty line to empty area") << QString() << QString() << 0 << "\r\n";
    QTest::newRow("after final break") << "a\n" << "b" << 1 << "a\r\nb\r\n";
    QTest::newRow("no final break") << "a" << "b" << 1 << "a\r\nb";
    QTest::newRow("empty line, no final break") << "a" << QString() << 1 << "a\r\n\r\n";
    QTest::newRow("CR LF inside is one break") << QString() << "x\r\ny" << 0 << "x\r\ny\r\n";
}

void TestTMemoStrings::add()
{
    QFETCH(QString, text);
    QFETCH(QString, line);
    QFETCH(int, index);
    QFETCH(QString, crlfText);

    m_memo->setPlainText(text);
    TMemoStrings *view = m_memo->Lines();
    const int before = view->Count();
    QCOMPARE(view->Add(line), index);
    QCOMPARE(view->Text(), crlfText);
    QCOMPARE(view->Count(), before + 1 + int(line.contains(QLatin1Char('\n'))));
    QCOMPARE(m_memo->textCursor().position(), crlfText.size() - crlfText.count(QLatin1Char('\r')));
    QVERIFY(!m_memo->document()->isUndoAvailable());
}

void TestTMemoStrings::placeholderLine()
{
    m_memo->addPlaceholderLine();
    const TMemoStrings *view = m_memo->Lines();
    QCOMPARE(view->Text(), ::placeholderLine + QStringLiteral("\r\n"));
    QCOMPARE(view->Count(), 1);
    QCOMPARE(view->Encoding(), TEncoding::None);
}

void TestTMemoStrings::assign()
{
    m_memo->setPlainText(QStringLiteral("old\ntext"));
    TMemoStrings *view = m_memo->Lines();
    view->SetEncoding(TEncoding::Unicode);

    TStringList source(QStringList{QStringLiteral("b"), QString(), QString::fromUtf16(u"\u00a0a"),
                                   QStringLiteral("c\r\nd")});
    source.SetWriteBOM(false);
    source.SetDelimiter(QLatin1Char(';'));
    source.SetQuoteChar(QLatin1Char('\''));
    source.SetStrictDelimiter(true);
    source.SetDefaultEncoding(TEncoding::UTF8);

    view->Assign(source);
    QCOMPARE(view->Text(), QString::fromUtf16(u"b\r\n\r\n\u00a0a\r\nc\r\nd\r\n"));
    QCOMPARE(view->Count(), 5);
    QCOMPARE(view->Encoding(), TEncoding::ANSI);
    QCOMPARE(view->DefaultEncoding(), TEncoding::UTF8);
    QCOMPARE(view->WriteBOM(), false);
    QCOMPARE(view->Delimiter(), QLatin1Char(';'));
    QCOMPARE(view->QuoteChar(), QLatin1Char('\''));
    QCOMPARE(view->StrictDelimiter(), true);
    QCOMPARE(m_memo->textCursor().position(), m_memo->document()->characterCount() - 1);
    QVERIFY(!m_memo->document()->isUndoAvailable());
    QVERIFY(m_memo->updatesEnabled());

    source.SetEncoding(TEncoding::BigEndianUnicode);
    view->Assign(source);
    QCOMPARE(view->Encoding(), TEncoding::BigEndianUnicode);
}

void TestTMemoStrings::assignMatchesAppending_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QStringList>("source");

    QTest::newRow("empty list") << "a\nb" << QStringList();
    QTest::newRow("into an empty area") << QString() << QStringList{"x"};
    QTest::newRow("empty lines") << "a" << QStringList{"", ""};
    QTest::newRow("tricky lines") << "old\ntext\n"
                                  << QStringList{"b", "", QString::fromUtf16(u"\u00a0a\u2028"),
                                                 "c\r\nd", "e\nf", "g\rh", "\"i"};
}

// The text put in at once against appending the lines one by one.
void TestTMemoStrings::assignMatchesAppending()
{
    QFETCH(QString, before);
    QFETCH(QStringList, source);

    MemoEdit appended;
    appended.setPlainText(before);
    appended.Lines()->TStrings::Assign(TStringList(source));
    m_memo->setPlainText(before);
    QSignalSpy replacing(m_memo, &MemoEdit::replacingText);
    m_memo->Lines()->Assign(TStringList(source));

    QCOMPARE(m_memo->Lines()->Text(), appended.Lines()->Text());
    QCOMPARE(m_memo->Lines()->Count(), appended.Lines()->Count());
    QCOMPARE(m_memo->Lines()->Encoding(), appended.Lines()->Encoding());
    QCOMPARE(m_memo->textCursor().position(), appended.textCursor().position());
    QCOMPARE(replacing.count(), 1);
}

void TestTMemoStrings::assignEmptyListEmptiesArea()
{
    m_memo->setPlainText(QStringLiteral("a\nb\n"));
    m_memo->Lines()->Assign(TStringList());
    QCOMPARE(m_memo->Lines()->Text(), QString());
    QCOMPARE(m_memo->Lines()->Count(), 0);
}

void TestTMemoStrings::clearKeepsAttributes()
{
    m_memo->setPlainText(QStringLiteral("a\nb\n"));
    m_memo->moveCursor(QTextCursor::End);
    TMemoStrings *view = m_memo->Lines();
    view->SetEncoding(TEncoding::UTF8);
    view->SetWriteBOM(false);

    view->Clear();
    QCOMPARE(view->Text(), QString());
    QCOMPARE(m_memo->textCursor().position(), 0);
    QCOMPARE(view->Encoding(), TEncoding::UTF8);
    QCOMPARE(view->WriteBOM(), false);
}

void TestTMemoStrings::bulkUpdateSuspendsRepainting()
{
    TMemoStrings *view = m_memo->Lines();
    view->BeginUpdate();
    QVERIFY(!m_memo->updatesEnabled());
    view->BeginUpdate();
    view->EndUpdate();
    QVERIFY(!m_memo->updatesEnabled());
    view->EndUpdate();
    QVERIFY(m_memo->updatesEnabled());
}

void TestTMemoStrings::sameTextChangesNothing()
{
    QByteArray bytes;
    for (int i = 0; i < 200; ++i)
        bytes += "ligne " + QByteArray::number(i) + "\r\n";
    const QString path = writeFile(m_dir->path(), QStringLiteral("list.txt"), bytes);
    TMemoStrings *view = m_memo->Lines();
    view->LoadFromFile(path);

    QTextCursor cursor = m_memo->textCursor();
    cursor.setPosition(900);
    cursor.setPosition(950, QTextCursor::KeepAnchor);
    m_memo->setTextCursor(cursor);
    m_memo->verticalScrollBar()->setValue(40);
    const int scroll = m_memo->verticalScrollBar()->value();
    QVERIFY(scroll > 0);

    // The same lines with LF breaks convert to the text the area holds.
    QSignalSpy changed(m_memo, &QPlainTextEdit::textChanged);
    QSignalSpy replacing(m_memo, &MemoEdit::replacingText);
    view->LoadFromFile(writeFile(m_dir->path(), QStringLiteral("lf.txt"),
                                 QByteArray(bytes).replace("\r\n", "\n")));
    QCOMPARE(changed.count(), 0);
    QCOMPARE(replacing.count(), 0);
    QCOMPARE(m_memo->textCursor().anchor(), 900);
    QCOMPARE(m_memo->textCursor().position(), 950);
    QCOMPARE(m_memo->verticalScrollBar()->value(), scroll);
}

void TestTMemoStrings::otherTextPutsCaretAtStart()
{
    TMemoStrings *view = m_memo->Lines();
    view->LoadFromFile(writeFile(m_dir->path(), QStringLiteral("a.txt"), "abc\r\ndef\r\n"));
    m_memo->moveCursor(QTextCursor::End);

    // Same length, one unit differs.
    view->LoadFromFile(writeFile(m_dir->path(), QStringLiteral("b.txt"), "abc\r\ndeg\r\n"));
    QCOMPARE(view->Text(), QStringLiteral("abc\r\ndeg\r\n"));
    QCOMPARE(m_memo->textCursor().position(), 0);

    // Same units, the break elsewhere.
    view->LoadFromFile(writeFile(m_dir->path(), QStringLiteral("c.txt"), "abcd\r\neg\r\n"));
    QCOMPARE(view->Text(), QStringLiteral("abcd\r\neg\r\n"));
}

void TestTMemoStrings::loadThenSaveKeepsEncoding_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<TEncoding>("encoding");

    QTest::newRow("UTF-8 with mark") << QByteArray("\xEF\xBB\xBF" "b\xC3\xA9\r\na\r\n") << TEncoding::UTF8;
    QTest::newRow("UTF-16 LE") << QByteArray("\xFF\xFE" "b\0\r\0\n\0a\0", 10) << TEncoding::Unicode;
    QTest::newRow("UTF-16 BE") << QByteArray("\xFE\xFF\0b\0\r\0\n\0a", 10)
                               << TEncoding::BigEndianUnicode;
}

void TestTMemoStrings::loadThenSaveKeepsEncoding()
{
    QFETCH(QByteArray, bytes);
    QFETCH(TEncoding, encoding);

    TMemoStrings *view = m_memo->Lines();
    view->LoadFromFile(writeFile(m_dir->path(), QStringLiteral("in.txt"), bytes));
    QCOMPARE(view->Encoding(), encoding);
    const QString out = m_dir->filePath(QStringLiteral("out.txt"));
    view->SaveToFile(out);
    QCOMPARE(readFile(out), bytes);
}

void TestTMemoStrings::loadFromRawFile_data()
{
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("UTF-8 with mark") << QByteArray("\xEF\xBB\xBF" "b\xC3\xA9\r\na\r\n");
    QTest::newRow("UTF-16 BE") << QByteArray("\xFE\xFF\0b\0\r\0\r\0\n\0a", 12);
    QTest::newRow("no mark, CR breaks") << QByteArray("a\rb\xFF\r");
}

void TestTMemoStrings::loadFromRawFile()
{
    QFETCH(QByteArray, bytes);

    const QString path = writeFile(m_dir->path(), QStringLiteral("in.txt"), bytes);
    MemoEdit loaded;
    loaded.Lines()->LoadFromFile(path);
    m_memo->Lines()->LoadFromRawFile(readTextFile(path, TEncoding::ANSI));
    QCOMPARE(m_memo->Lines()->Text(), loaded.Lines()->Text());
    QCOMPARE(m_memo->Lines()->Encoding(), loaded.Lines()->Encoding());
    QCOMPARE(m_memo->textCursor().position(), 0);
}

void TestTMemoStrings::areaBreaks_data()
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
void TestTMemoStrings::areaBreaks()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, breaks);

    const QString text = decodeText(rawTextFromBytes(bytes, TEncoding::ANSI));
    m_memo->setPlainText(text);
    QStringList lines = TMemoStrings::withAreaBreaks(text).split(QLatin1Char('\n'));
    if (lines.constLast().isEmpty())
        lines.removeLast();
    QCOMPARE(m_memo->Lines()->lines(), lines);
    QCOMPARE(m_memo->document()->blockCount() > 1, breaks);
    QCOMPARE(TMemoStrings::mayHoldAreaBreaks(bytes), breaks);
}

void TestTMemoStrings::copyGivesListText_data()
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
void TestTMemoStrings::copyGivesListText()
{
    QFETCH(QString, text);
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(QString, copied);

    m_memo->setPlainText(text);
    auto select = [this, from, to] {
        QTextCursor cursor = m_memo->textCursor();
        cursor.setPosition(from);
        cursor.setPosition(to, QTextCursor::KeepAnchor);
        m_memo->setTextCursor(cursor);
    };
    select();
    m_memo->copy();
    QCOMPARE(QGuiApplication::clipboard()->text(), copied);
    const std::unique_ptr<QMimeData> dragged(m_memo->createMimeDataFromSelection());
    QCOMPARE(dragged->text(), copied);

    QGuiApplication::clipboard()->clear();
    m_memo->cut();
    QCOMPARE(QGuiApplication::clipboard()->text(), copied);
}

void TestTMemoStrings::shiftEnterMakesHardBreak()
{
    m_memo->setFocus();
    QTest::keyClicks(m_memo, QStringLiteral("ab"));
    QTest::keyClick(m_memo, Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClicks(m_memo, QStringLiteral("cd"));
    QCOMPARE(m_memo->Lines()->Text(), QStringLiteral("ab\r\ncd"));
    QCOMPARE(m_memo->Lines()->Count(), 2);
}

QTEST_MAIN(TestTMemoStrings)
#include "tst_tmemostrings.moc"
