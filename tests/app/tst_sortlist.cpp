#include "support/plainpaths.h"
#include "support/testsupport.h"
#include "support/windowdriver.h"

#include <QTemporaryDir>
#include <QTest>

// "Trier la liste": the lines of the area in the user's order with case ignored, each
// followed by a break, the encoding of the list kept.
class TestSortList : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void sort_data();
    void sort();
    void longLinesStayWhole();
    void encodingKeptThroughSave_data();
    void encodingKeptThroughSave();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<WindowDriver> m_driver;
};

void TestSortList::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    removeProfile();
    m_driver = std::make_unique<WindowDriver>();
}

void TestSortList::cleanup()
{
    m_driver.reset();
    removeProfile();
    m_dir.reset();
}

void TestSortList::sort_data()
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
    // Whatever the locale, a C one included: accented letters go with their base letter.
    QTest::newRow("accents") << "zoe\nÉlodie\nemma\n" << "Élodie\r\nemma\r\nzoe\r\n";
}

void TestSortList::sort()
{
    QFETCH(QString, text);
    QFETCH(QString, sorted);

    m_driver->setText(text);
    m_driver->sort();
    QCOMPARE(m_driver->textWithCrLf(), sorted);
    QVERIFY(m_driver->errors().isEmpty());
}

// A line far wider than the area is one line of the list, whatever its rows.
void TestSortList::longLinesStayWhole()
{
    m_driver->show();
    QString line;
    for (int i = 0; line.size() < 6000; ++i)
        line += QStringLiteral("mot%1 ").arg(i);
    m_driver->setText(line + QStringLiteral("\nabc"));
    m_driver->sort();
    QCOMPARE(m_driver->textWithCrLf(), QStringLiteral("abc\r\n") + line + QStringLiteral("\r\n"));
}

void TestSortList::encodingKeptThroughSave_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("saved");

    QTest::newRow("UTF-8") << QByteArray("\xEF\xBB\xBF" "z@b.fr\r\nb\xC3\xA9@a.fr\r\na@c.fr")
                           << QByteArray("\xEF\xBB\xBF" "a@c.fr\r\nb\xC3\xA9@a.fr\r\nz@b.fr\r\n");
    QTest::newRow("UTF-16 BE") << utf16Bytes(u"b@x\na@x", true) << utf16Bytes(u"a@x\r\nb@x\r\n", true);
}

void TestSortList::encodingKeptThroughSave()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, saved);

    m_driver->setAutoExtract(false);
    QVERIFY(m_driver->drop(writeFile(m_dir->path(), QStringLiteral("in.txt"), file)));
    m_driver->sort();
    QCOMPARE(m_driver->savedBytes(), saved);
}

QTEST_MAIN(TestSortList)
#include "tst_sortlist.moc"
