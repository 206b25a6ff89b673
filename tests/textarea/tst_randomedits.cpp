#include "editdriver.h"

#include "textarea/listedit.h"

#include <QRandomGenerator>
#include <QTest>

// The fuzz target's driver over fixed seeds, so that every build runs it: random edits
// against the plain reference, with long lines laid out in small pieces.
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
}

void TestRandomEdits::editsMatchReference_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("pieceLength");

    QTest::newRow("whole lines") << 1u << 4096;
    QTest::newRow("pieces of 8") << 2u << 8;
    QTest::newRow("pieces of 13") << 3u << 13;
    QTest::newRow("pieces of 40") << 4u << 40;
}

void TestRandomEdits::editsMatchReference()
{
    QFETCH(quint32, seed);
    QFETCH(int, pieceLength);

    RowCache::setPieceLength(pieceLength);
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
