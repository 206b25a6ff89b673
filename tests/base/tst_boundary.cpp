// The guard of the places where the event loop calls the program: every exception becomes
// its message for the sink, a cancel none, and nothing leaves the guard; a message for
// later waits for the event loop, and one that waits already keeps others out.
#include "base/adrelioerror.h"
#include "base/boundary.h"
#include "base/progress.h"

#include <QCoreApplication>
#include <QTest>

#include <new>
#include <stdexcept>

using namespace Qt::Literals::StringLiterals;

enum class Thrown { AdrelioError, OutOfMemory, StandardException, SomethingElse, Cancel };
Q_DECLARE_METATYPE(Thrown)

namespace {

QStringList received;

void collect(const QString &message)
{
    received.append(message);
}

void failToShow(const QString &)
{
    throw std::bad_alloc();
}

} // namespace

class TestBoundary : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void exceptionBecomesMessage_data();
    void exceptionBecomesMessage();
    void failingSinkIsGivenUp();
    void laterWaitsForTheEventLoop();
};

void TestBoundary::init()
{
    received.clear();
    setErrorSink(collect);
}

void TestBoundary::cleanup()
{
    QCoreApplication::processEvents();
    setErrorSink(nullptr);
}

void TestBoundary::exceptionBecomesMessage_data()
{
    QTest::addColumn<Thrown>("thrown");
    QTest::addColumn<QStringList>("messages");

    QTest::newRow("AdrelioError") << Thrown::AdrelioError << QStringList{ u"Impossible"_s };
    QTest::newRow("std::bad_alloc") << Thrown::OutOfMemory
                                    << QStringList{ u"Mémoire insuffisante"_s };
    QTest::newRow("another std::exception") << Thrown::StandardException
                                            << QStringList{ u"vector::at"_s };
    QTest::newRow("not an exception class") << Thrown::SomethingElse
                                            << QStringList{ u"Erreur inconnue"_s };
    QTest::newRow("cancel") << Thrown::Cancel << QStringList();
}

void TestBoundary::exceptionBecomesMessage()
{
    QFETCH(Thrown, thrown);
    QFETCH(QStringList, messages);

    bool after = false;
    const bool done = guarded([&] {
        switch (thrown) {
        case Thrown::AdrelioError:
            throw AdrelioError(u"Impossible"_s);
        case Thrown::OutOfMemory:
            throw std::bad_alloc();
        case Thrown::StandardException:
            throw std::out_of_range("vector::at");
        case Thrown::SomethingElse:
            throw 21;
        case Thrown::Cancel:
            throw OperationCancelled();
        }
        after = true;
    });
    QVERIFY(!done);
    QVERIFY(!after);
    QCOMPARE(received, messages);
    QVERIFY(guarded([] {}));
}

// A box that cannot be made when memory is short is given up: nothing leaves the guard.
void TestBoundary::failingSinkIsGivenUp()
{
    QVERIFY(!guarded([] { throw std::bad_alloc(); }, failToShow));
    setErrorSink(failToShow);
    reportErrorLater(u"une"_s);
    QCoreApplication::processEvents();
    setErrorSink(collect);
    reportErrorLater(u"deux"_s);
    QCoreApplication::processEvents();
    QCOMPARE(received, QStringList{ u"deux"_s });
}

void TestBoundary::laterWaitsForTheEventLoop()
{
    QVERIFY(!guarded([] { throw AdrelioError(u"première"_s); }, reportErrorLater));
    QVERIFY(!guarded([] { throw AdrelioError(u"seconde"_s); }, reportErrorLater));
    QCOMPARE(received, QStringList());
    QCoreApplication::processEvents();
    QCOMPARE(received, QStringList{ u"première"_s });
    reportErrorLater(u"troisième"_s);
    QCoreApplication::processEvents();
    QCOMPARE(received, (QStringList{ u"première"_s, u"troisième"_s }));
}

QTEST_GUILESS_MAIN(TestBoundary)

#include "tst_boundary.moc"
