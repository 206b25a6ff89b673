#include "support/testsupport.h"
#include "worklist/adrelioerror.h"
#include "worklist/tstringlist.h"

#include <QTemporaryDir>
#include <QTest>

class TestTStringList : public QObject
{
    Q_OBJECT

private slots:
    void editing();
    void assignTakesAttributes();
    void loadCountsLines_data();
    void loadCountsLines();
    void failedLoadChangesNothing();
    void sortIgnoresCase();

private:
    QTemporaryDir m_dir;
};

void TestTStringList::editing()
{
    TStringList list;
    QCOMPARE(list.Count(), 0);
    QCOMPARE(list.Text(), QString());
    QCOMPARE(list.Encoding(), TEncoding::None);
    QCOMPARE(list.DefaultEncoding(), TEncoding::ANSI);
    QVERIFY(list.WriteBOM());

    QCOMPARE(list.Add(QStringLiteral("b")), 0);
    QCOMPARE(list.Add(QString()), 1);
    QCOMPARE(list.Add(QStringLiteral("b")), 2);
    QCOMPARE(list.Count(), 3);
    QCOMPARE(list.Strings(2), QStringLiteral("b"));
    QCOMPARE(list.Strings(3), QString());
    QCOMPARE(list.Strings(-1), QString());
    QCOMPARE(list.Text(), QStringLiteral("b\r\n\r\nb\r\n"));

    list.Clear();
    QCOMPARE(list.Count(), 0);

    const TStringList moved(QStringList{QStringLiteral("x"), QStringLiteral("y")});
    QCOMPARE(moved.items(), (QStringList{QStringLiteral("x"), QStringLiteral("y")}));
}

void TestTStringList::assignTakesAttributes()
{
    TStringList source(QStringList{QStringLiteral("a"), QStringLiteral("b")});
    source.SetWriteBOM(false);
    source.SetDelimiter(QLatin1Char(';'));
    source.SetQuoteChar(QLatin1Char('\''));
    source.SetStrictDelimiter(true);

    TStringList target(QStringList{QStringLiteral("old")});
    target.SetEncoding(TEncoding::Unicode);
    target.Assign(source);
    QCOMPARE(target.items(), source.items());
    QCOMPARE(target.Encoding(), TEncoding::ANSI);
    QVERIFY(!target.WriteBOM());
    QCOMPARE(target.Delimiter(), QLatin1Char(';'));
    QCOMPARE(target.QuoteChar(), QLatin1Char('\''));
    QVERIFY(target.StrictDelimiter());

    source.SetEncoding(TEncoding::BigEndianUnicode);
    target.Assign(TStringList());
    QCOMPARE(target.Count(), 0);
    target.Assign(source);
    QCOMPARE(target.Encoding(), TEncoding::BigEndianUnicode);
}

void TestTStringList::loadCountsLines_data()
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

void TestTStringList::loadCountsLines()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, lines);

    TStringList list(QStringList{QStringLiteral("old")});
    list.LoadFromFile(writeFile(m_dir.path(), QStringLiteral("fixture.txt"), bytes));
    QCOMPARE(list.items(), lines);
    QCOMPARE(list.Count(), lines.size());
    QCOMPARE(list.Encoding(), TEncoding::ANSI);
}

void TestTStringList::failedLoadChangesNothing()
{
    TStringList list(QStringList{QStringLiteral("kept")});
    list.SetEncoding(TEncoding::Unicode);

    QVERIFY_THROWS_EXCEPTION(AdrelioError,
                             list.LoadFromFile(m_dir.filePath(QStringLiteral("missing.txt"))));
    QVERIFY_THROWS_EXCEPTION(AdrelioError, list.LoadFromFile(m_dir.path()));

    const QString big = writeFile(m_dir.path(), QStringLiteral("fixture.txt"),
                                  "\xEF\xBB\xBF" + QByteArray(12 * 1024 * 1024, 'x'));
    qint64 lastDone = 0;
    QVERIFY_THROWS_EXCEPTION(OperationCancelled, list.LoadFromFile(big, [&](qint64 done, qint64 total) {
        lastDone = done;
        return done < total / 2;
    }));
    QVERIFY(lastDone > 0);

    QCOMPARE(list.items(), QStringList{QStringLiteral("kept")});
    QCOMPARE(list.Encoding(), TEncoding::Unicode);
}

void TestTStringList::sortIgnoresCase()
{
    TStringList list(QStringList{"b", "A", "a", "B"});
    list.Sort();
    QCOMPARE(list.items(), (QStringList{"a", "A", "B", "b"}));
}

QTEST_GUILESS_MAIN(TestTStringList)
#include "tst_tstringlist.moc"
