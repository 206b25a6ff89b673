#include "extract/extraction.h"
#include "support/testsupport.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

class TestExtraction : public QObject
{
    Q_OBJECT

private slots:
    void extract_data();
    void extract();
    void secondExtraction_data();
    void secondExtraction();
    void cancel();
};

void TestExtraction::extract_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("addresses");

    QTest::newRow("empty") << QStringList() << QStringList();
    QTest::newRow("start-up hint")
            << QStringList{placeholderLine} << QStringList();
    QTest::newRow("duplicates kept") << QStringList{"a@b a@b"} << QStringList{"a@b", "a@b"};
    QTest::newRow("two at signs") << QStringList{"a@b@c"} << QStringList{"a@b@c"};
    QTest::newRow("lone at sign") << QStringList{"@"} << QStringList{"@"};
    QTest::newRow("angle brackets, semicolon") << QStringList{"<a@b>;"} << QStringList{"<a@b>;"};
    QTest::newRow("semicolon joins") << QStringList{"<a@b>;c@d"} << QStringList{"<a@b>;c@d"};
    QTest::newRow("parentheses, delimiter") << QStringList{"(a@b),"} << QStringList{"(a@b)"};
    QTest::newRow("mailto") << QStringList{"mailto:a@b"} << QStringList{"mailto:a@b"};
    QTest::newRow("trailing dot") << QStringList{"a@b."} << QStringList{"a@b."};
    QTest::newRow("display name") << QStringList{"Service client <sc@x>"} << QStringList{"<sc@x>"};
    QTest::newRow("quoted display name")
            << QStringList{"\"Service client\" <sc@x>"} << QStringList{"<sc@x>"};
    QTest::newRow("quoted, then field") << QStringList{"a \"x y\"@z"} << QStringList{"@z"};
    QTest::newRow("empty fields and quotes")
            << QStringList{"x, y@z,,\"w v@u\""} << QStringList{"y@z", "w v@u"};
    QTest::newRow("quoted with blank") << QStringList{"\"a@b c\""} << QStringList{"a@b c"};
    QTest::newRow("quoted with delimiter") << QStringList{"\"a,b@c\""} << QStringList{"a,b@c"};
    QTest::newRow("fullwidth at sign") << QStringList{u"a\uFF20b"_s} << QStringList();
    QTest::newRow("two lines") << QStringList{"x@y z", "w@v"} << QStringList{"x@y", "w@v"};
    QTest::newRow("at sign after NUL") << QStringList{QString::fromUtf16(u"x\0a@b", 5)}
                                       << QStringList();
}

void TestExtraction::extract()
{
    QFETCH(QStringList, lines);
    QFETCH(QStringList, addresses);

    QCOMPARE(addressesInText(lines.join(u'\n')), addresses);
}

void TestExtraction::secondExtraction_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QStringList>("first");
    QTest::addColumn<QStringList>("second");

    QTest::newRow("blank") << u"\"a@b c\""_s << QStringList{"a@b c"} << QStringList{"a@b"};
    QTest::newRow("delimiter") << u"\"a,b@c\""_s << QStringList{"a,b@c"} << QStringList{"b@c"};
}

void TestExtraction::secondExtraction()
{
    QFETCH(QString, line);
    QFETCH(QStringList, first);
    QFETCH(QStringList, second);

    const QStringList once = addressesInText(line);
    QCOMPARE(once, first);
    QCOMPARE(addressesInText(once.join(u'\n')), second);
}

void TestExtraction::cancel()
{
    const Progress cancelled = [](qint64, qint64) { return false; };
    const QString text = u"a@b\n"_s.repeated(100);
    QVERIFY_THROWS_EXCEPTION(OperationCancelled, addressesInText(text, cancelled));
    const RawTextFile file{text.toUtf8(), TextEncoding::System, 0};
    QVERIFY_THROWS_EXCEPTION(OperationCancelled, addressesInFile(file, cancelled));

    qint64 lastDone = -1;
    qint64 lastTotal = -1;
    const Progress record = [&](qint64 done, qint64 total) {
        lastDone = done;
        lastTotal = total;
        return true;
    };
    QCOMPARE(addressesInFile(file, record).size(), 100);
    QCOMPARE(lastDone, file.bytes.size());
    QCOMPARE(lastTotal, file.bytes.size());
}

QTEST_GUILESS_MAIN(TestExtraction)
#include "tst_extraction.moc"

