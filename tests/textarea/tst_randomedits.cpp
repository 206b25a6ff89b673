#include "editdriver.h"

#include "textarea/listedit.h"

#include <QRandomGenerator>
#include <QTest>

// The fuzz target's driver over fixed seeds, so that every build runs it: random edits
// against the plain reference, with long lines laid out in small pieces and islands
// close by.
class TestRandomEdits : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void editsMatchReference_data();
    void editsMatchReference();
};

void TestRandomEdits::cleanup()
{
    RowCache::setPieceLength(4096);
    RowCache::setFarDistance(256 * 1024);
}

void TestRandomEdits::editsMatchReference_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("pieceLength");
    QTest::addColumn<int>("farDistance");

    QTest::newRow("whole lines") << 1u << 4096 << 256 * 1024;
    QTest::newRow("pieces of 8") << 2u << 8 << 256 * 1024;
    QTest::newRow("pieces of 13") << 3u << 13 << 256 * 1024;
    QTest::newRow("pieces of 40") << 4u << 40 << 256 * 1024;
    QTest::newRow("pieces of 8, islands") << 5u << 8 << 20;
    QTest::newRow("pieces of 16, islands") << 6u << 16 << 50;
}

void TestRandomEdits::editsMatchReference()
{
    QFETCH(quint32, seed);
    QFETCH(int, pieceLength);
    QFETCH(int, farDistance);

    RowCache::setPieceLength(pieceLength);
    RowCache::setFarDistance(farDistance);
    QRandomGenerator random(seed);
    qsizetype steps = 0;
    for (int run = 0; run < 12; ++run) {
        QByteArray data(400, Qt::Uninitialized);
        for (char &byte : data)
            byte = char(random.bounded(256));
        QWidget window;
        window.resize(420, 320);
        auto *edit = new ListEdit(&window);
        edit->setGeometry(0, 0, 160 + run * 20, 120);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        EditDriver driver(edit);
        QString why;
        QVERIFY2(driver.run(data, &why),
                 qPrintable(QStringLiteral("run %1 step %2: %3").arg(run).arg(driver.steps()).arg(why)));
        steps += driver.steps();
    }
    QVERIFY(steps > 1000);
}

QTEST_MAIN(TestRandomEdits)
#include "tst_randomedits.moc"
