#include "drop/tjvdragdrop.h"
#include "support/windowsupport.h"
#include "worklist/memoedit.h"

#include <QDir>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>

class TestTJvDragDrop : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void dropFiles_data();
    void dropFiles();
    void dropOnFrameGivesClientPoint();
    void moveOnlyDragIsRefused();
    void plainTextIsLeftToTheArea();
    void acceptDragOffLeavesDropsToTheArea();
    void changingTargetRehooks();
    void destroyedTargetIsForgotten();

private:
    MemoEdit *m_memo = nullptr;
    TJvDragDrop *m_drop = nullptr;
};

void TestTJvDragDrop::init()
{
    m_memo = new MemoEdit;
    m_memo->resize(300, 200);
    m_memo->setPlainText(QStringLiteral("garde"));
    m_memo->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_memo));
    m_drop = new TJvDragDrop;
    m_drop->SetDropTarget(m_memo);
}

void TestTJvDragDrop::cleanup()
{
    delete m_drop;
    delete m_memo;
}

void TestTJvDragDrop::dropFiles_data()
{
    QTest::addColumn<QStringList>("urls");
    QTest::addColumn<QStringList>("files");

    const QString dir = QDir::tempPath();
    QTest::newRow("one file") << QStringList{"file:///home/u/liste.txt"}
                              << QStringList{"/home/u/liste.txt"};
    QTest::newRow("three files in order")
            << QStringList{"file:///c/z.txt", "file:///a/b.txt", "file:///b/a.txt"}
            << QStringList{"/c/z.txt", "/a/b.txt", "/b/a.txt"};
    QTest::newRow("folder") << QStringList{QUrl::fromLocalFile(dir).toString()}
                            << QStringList{dir};
    QTest::newRow("encoded name") << QStringList{"file:///tmp/d%C3%A9j%C3%A0%20vu.txt"}
                                  << QStringList{QStringLiteral("/tmp/déjà vu.txt")};
    QTest::newRow("remote entries skipped")
            << QStringList{"https://exemple.fr/x.txt", "file:///tmp/y.txt"}
            << QStringList{"/tmp/y.txt"};
}

void TestTJvDragDrop::dropFiles()
{
    QFETCH(QStringList, urls);
    QFETCH(QStringList, files);

    QMimeData mime;
    QList<QUrl> list;
    for (const QString &url : urls)
        list << QUrl(url);
    mime.setUrls(list);
    // File managers offer the names as text as well.
    mime.setText(urls.join(QLatin1Char('\n')));

    QSignalSpy spy(m_drop, &TJvDragDrop::OnDrop);
    const DragAndDrop outcome = sendDragAndDrop(m_memo->viewport(), QPoint(12, 34), mime);
    QVERIFY(outcome.entered);
    QVERIFY(outcome.dropped);
    QCOMPARE(outcome.action, Qt::CopyAction);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).value<TJvDragDrop *>(), m_drop);
    QCOMPARE(spy.at(0).at(1).toPoint(), QPoint(12, 34));
    QCOMPARE(spy.at(0).at(2).toStringList(), files);
    QCOMPARE(m_drop->Files(), files);
    QCOMPARE(m_memo->toPlainText(), QStringLiteral("garde"));

    // The next drop replaces the list.
    mime.setUrls({QUrl(QStringLiteral("file:///seul.txt"))});
    sendDragAndDrop(m_memo->viewport(), QPoint(1, 1), mime);
    QCOMPARE(m_drop->Files(), QStringList{QStringLiteral("/seul.txt")});
    QCOMPARE(spy.count(), 2);
}

void TestTJvDragDrop::dropOnFrameGivesClientPoint()
{
    QMimeData mime;
    mime.setUrls({QUrl(QStringLiteral("file:///tmp/a.txt"))});
    QSignalSpy spy(m_drop, &TJvDragDrop::OnDrop);
    const QPoint inArea = m_memo->viewport()->geometry().topLeft() + QPoint(5, 7);
    QVERIFY(sendDragAndDrop(m_memo, inArea, mime).dropped);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(1).toPoint(), QPoint(5, 7));
}

void TestTJvDragDrop::moveOnlyDragIsRefused()
{
    QMimeData mime;
    mime.setUrls({QUrl(QStringLiteral("file:///tmp/a.txt"))});
    mime.setText(QStringLiteral("file:///tmp/a.txt"));
    QSignalSpy spy(m_drop, &TJvDragDrop::OnDrop);
    const DragAndDrop outcome = sendDragAndDrop(m_memo->viewport(), QPoint(5, 5), mime,
                                                Qt::MoveAction);
    QVERIFY(!outcome.entered);
    QVERIFY(!outcome.dropped);
    QCOMPARE(spy.count(), 0);
    QCOMPARE(m_memo->toPlainText(), QStringLiteral("garde"));
}

void TestTJvDragDrop::plainTextIsLeftToTheArea()
{
    QMimeData mime;
    mime.setText(QStringLiteral("tapé "));
    QSignalSpy spy(m_drop, &TJvDragDrop::OnDrop);
    const DragAndDrop outcome = sendDragAndDrop(m_memo->viewport(), QPoint(2, 2), mime);
    QVERIFY(outcome.entered);
    QVERIFY(outcome.dropped);
    QCOMPARE(spy.count(), 0);
    QCOMPARE(m_memo->toPlainText(), QStringLiteral("tapé garde"));
}

void TestTJvDragDrop::acceptDragOffLeavesDropsToTheArea()
{
    QMimeData mime;
    mime.setUrls({QUrl(QStringLiteral("file:///tmp/a.txt"))});
    mime.setText(QStringLiteral("nom "));
    QSignalSpy spy(m_drop, &TJvDragDrop::OnDrop);

    m_drop->SetAcceptDrag(false);
    sendDragAndDrop(m_memo->viewport(), QPoint(2, 2), mime);
    QCOMPARE(spy.count(), 0);
    QCOMPARE(m_memo->toPlainText(), QStringLiteral("nom garde"));

    m_drop->SetAcceptDrag(true);
    sendDragAndDrop(m_memo->viewport(), QPoint(2, 2), mime);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(m_memo->toPlainText(), QStringLiteral("nom garde"));
}

void TestTJvDragDrop::changingTargetRehooks()
{
    MemoEdit other;
    other.resize(100, 100);
    other.show();
    QVERIFY(QTest::qWaitForWindowExposed(&other));
    QMimeData mime;
    mime.setUrls({QUrl(QStringLiteral("file:///tmp/a.txt"))});
    QSignalSpy spy(m_drop, &TJvDragDrop::OnDrop);

    m_drop->SetDropTarget(&other);
    QCOMPARE(m_drop->DropTarget(), &other);
    sendDragAndDrop(m_memo->viewport(), QPoint(2, 2), mime);
    QCOMPARE(spy.count(), 0);
    sendDragAndDrop(other.viewport(), QPoint(2, 2), mime);
    QCOMPARE(spy.count(), 1);
    m_drop->SetDropTarget(m_memo);
}

void TestTJvDragDrop::destroyedTargetIsForgotten()
{
    delete m_memo;
    m_memo = nullptr;
    QCOMPARE(m_drop->DropTarget(), nullptr);
    m_drop->SetAcceptDrag(false);
    m_drop->SetAcceptDrag(true);
    QCOMPARE(m_drop->DropTarget(), nullptr);
}

QTEST_MAIN(TestTJvDragDrop)
#include "tst_tjvdragdrop.moc"
