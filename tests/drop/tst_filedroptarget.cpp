#include "drop/filedroptarget.h"
#include "support/windowsupport.h"
#include "textarea/listedit.h"

#include <QDir>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>

class TestFileDropTarget : public QObject
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
    void changingTargetRehooks();
    void destroyedTargetIsForgotten();

private:
    ListEdit *m_area = nullptr;
    FileDropTarget *m_drop = nullptr;
};

void TestFileDropTarget::init()
{
    m_area = new ListEdit;
    m_area->resize(300, 200);
    m_area->setLoadedText(QStringLiteral("garde"));
    m_area->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_area));
    m_drop = new FileDropTarget;
    m_drop->setTarget(m_area);
}

void TestFileDropTarget::cleanup()
{
    delete m_drop;
    delete m_area;
}

void TestFileDropTarget::dropFiles_data()
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

void TestFileDropTarget::dropFiles()
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

    QSignalSpy spy(m_drop, &FileDropTarget::filesDropped);
    const DragAndDrop outcome = sendDragAndDrop(m_area->viewport(), QPoint(12, 34), mime);
    QVERIFY(outcome.entered);
    QVERIFY(outcome.dropped);
    QCOMPARE(outcome.action, Qt::CopyAction);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toStringList(), files);
    QCOMPARE(spy.at(0).at(1).toPoint(), QPoint(12, 34));
    QCOMPARE(m_area->text(), QStringLiteral("garde"));

    // The next drop reports only its own files.
    mime.setUrls({QUrl(QStringLiteral("file:///seul.txt"))});
    sendDragAndDrop(m_area->viewport(), QPoint(1, 1), mime);
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy.at(1).at(0).toStringList(), QStringList{QStringLiteral("/seul.txt")});
}

void TestFileDropTarget::dropOnFrameGivesClientPoint()
{
    QMimeData mime;
    mime.setUrls({QUrl(QStringLiteral("file:///tmp/a.txt"))});
    QSignalSpy spy(m_drop, &FileDropTarget::filesDropped);
    const QPoint inArea = m_area->viewport()->geometry().topLeft() + QPoint(5, 7);
    QVERIFY(sendDragAndDrop(m_area, inArea, mime).dropped);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(1).toPoint(), QPoint(5, 7));
}

void TestFileDropTarget::moveOnlyDragIsRefused()
{
    QMimeData mime;
    mime.setUrls({QUrl(QStringLiteral("file:///tmp/a.txt"))});
    mime.setText(QStringLiteral("file:///tmp/a.txt"));
    QSignalSpy spy(m_drop, &FileDropTarget::filesDropped);
    const DragAndDrop outcome = sendDragAndDrop(m_area->viewport(), QPoint(5, 5), mime,
                                                Qt::MoveAction);
    QVERIFY(!outcome.entered);
    QVERIFY(!outcome.dropped);
    QCOMPARE(spy.count(), 0);
    QCOMPARE(m_area->text(), QStringLiteral("garde"));
}

void TestFileDropTarget::plainTextIsLeftToTheArea()
{
    QMimeData mime;
    mime.setText(QStringLiteral("tapé "));
    QSignalSpy spy(m_drop, &FileDropTarget::filesDropped);
    const DragAndDrop outcome = sendDragAndDrop(m_area->viewport(), QPoint(2, 2), mime);
    QVERIFY(outcome.entered);
    QVERIFY(outcome.dropped);
    QCOMPARE(spy.count(), 0);
    QCOMPARE(m_area->text(), QStringLiteral("tapé garde"));
}

void TestFileDropTarget::changingTargetRehooks()
{
    ListEdit other;
    other.resize(100, 100);
    other.show();
    QVERIFY(QTest::qWaitForWindowExposed(&other));
    QMimeData mime;
    mime.setUrls({QUrl(QStringLiteral("file:///tmp/a.txt"))});
    QSignalSpy spy(m_drop, &FileDropTarget::filesDropped);

    m_drop->setTarget(&other);
    QCOMPARE(m_drop->target(), &other);
    sendDragAndDrop(m_area->viewport(), QPoint(2, 2), mime);
    QCOMPARE(spy.count(), 0);
    sendDragAndDrop(other.viewport(), QPoint(2, 2), mime);
    QCOMPARE(spy.count(), 1);
    m_drop->setTarget(m_area);
}

void TestFileDropTarget::destroyedTargetIsForgotten()
{
    delete m_area;
    m_area = nullptr;
    QCOMPARE(m_drop->target(), nullptr);
    m_drop->setTarget(nullptr);
    QCOMPARE(m_drop->target(), nullptr);
}

QTEST_MAIN(TestFileDropTarget)
#include "tst_filedroptarget.moc"
