#include "app/windowplacement.h"
#include "settings/identity.h"
#include "settings/profile.h"
#include "support/testsupport.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>

class TestWindowPlacement : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void restorePlacement_data();
    void restorePlacement();
    void savePlacement();
    void placementRoundTrip();
    void restoredBeforeFirstShow_data();
    void restoredBeforeFirstShow();
    void unchangedFieldsMoveNothing_data();
    void unchangedFieldsMoveNothing();
    void saveOptions();
    void restoreOptions_data();
    void restoreOptions();
    void failedWriteRaisesWriteError();

private:
    Profile m_profile;
    std::unique_ptr<QTemporaryDir> m_dir;
};

namespace {

const QRect workArea(0, 0, 1920, 1040);

// The option items live in the window's context menu, as in the main window.
struct OptionWindow
{
    QWidget window;
    QMenu *menu = new QMenu(&window);
    QAction *automatic = addItem("chk_AUTO", true);
    QAction *nested = addItem("mnu_chk_1", true);
    QAction *capitals = addItem("CHK_1", true);
    QAction *plain = addItem("Extract", false);

    QAction *addItem(const char *name, bool checkable)
    {
        QAction *action = menu->addAction(QString::fromLatin1(name));
        action->setObjectName(QString::fromLatin1(name));
        action->setCheckable(checkable);
        action->setChecked(checkable);
        return action;
    }
};

} // namespace

void TestWindowPlacement::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_profile = Profile(m_dir->filePath(QStringLiteral("Adrelio.INI")));
}

void TestWindowPlacement::restorePlacement_data()
{
    QTest::addColumn<QRect>("before");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QRect>("after");
    QTest::addColumn<QString>("error");

    const QRect window(120, 80, 616, 433);
    QTest::newRow("applied as stored") << window << "100:50:800:600" << QRect(100, 50, 800, 600)
                                       << "";
    QTest::newRow("negative top becomes 0") << window << "100:-20:800:600"
                                            << QRect(100, 0, 800, 600) << "";
    QTest::newRow("negative left kept") << window << "-300:50:800:600"
                                        << QRect(-300, 50, 800, 600) << "";
    QTest::newRow("top below the screen kept") << window << "100:5000:800:600"
                                               << QRect(100, 5000, 800, 600) << "";
    QTest::newRow("width cut to the work area") << window << "100:50:3000:600"
                                                << QRect(100, 50, 1920, 600) << "";
    QTest::newRow("height cut to the work area") << window << "100:50:800:2000"
                                                 << QRect(100, 50, 800, 1040) << "";
    QTest::newRow("left pulled back with the present width")
            << window << "5000:50:800:600" << QRect(1304, 50, 800, 600) << "";
    QTest::newRow("left at the work-area width kept") << window << "1920:50:800:600"
                                                      << QRect(1920, 50, 800, 600) << "";
    QTest::newRow("fifth field ignored") << window << "100:50:800:600:7"
                                         << QRect(100, 50, 800, 600) << "";
    QTest::newRow("trailing separator") << window << "100:50:800:600:"
                                        << QRect(100, 50, 800, 600) << "";
    QTest::newRow("hexadecimal field") << window << "$64:50:0x320:600"
                                       << QRect(100, 50, 800, 600) << "";
    QTest::newRow("no entry: present placement kept") << window << QString() << window << "";
    QTest::newRow("no entry: window brought onto the work area")
            << QRect(2500, -40, 2000, 1200) << QString() << QRect(-80, 0, 1920, 1040) << "";

    QTest::newRow("faulty top") << window << "100:abc:800:600" << QRect(100, 80, 616, 433)
                                << "''abc'' n'est pas une valeur entière valide";
    QTest::newRow("faulty left") << window << "1A:50:800:600" << window
                                 << "''1A'' n'est pas une valeur entière valide";
    QTest::newRow("trailing space in a field") << window << "100:50:800 :600"
                                               << QRect(100, 50, 616, 433)
                                               << "''800 '' n'est pas une valeur entière valide";
    QTest::newRow("empty field") << window << "100::800:600" << QRect(100, 80, 616, 433)
                                 << "'''' n'est pas une valeur entière valide";
    QTest::newRow("empty entry") << window << "" << window
                                 << "'''' n'est pas une valeur entière valide";
    QTest::newRow("two fields") << window << "100:50" << QRect(100, 50, 616, 433)
                                << "'''' n'est pas une valeur entière valide";
    QTest::newRow("three fields") << window << "100:50:800" << QRect(100, 50, 800, 433)
                                  << "'''' n'est pas une valeur entière valide";
}

void TestWindowPlacement::restorePlacement()
{
    QFETCH(QRect, before);
    QFETCH(QString, stored);
    QFETCH(QRect, after);
    QFETCH(QString, error);

    if (!stored.isNull())
        m_profile.setValue(ProgramIdentity().baseName(), "Form1", stored);
    QWidget window;
    window.setObjectName("Form1");
    window.setGeometry(before);

    QCOMPARE(errorOf([&] { ::restorePlacement(&window, m_profile, workArea); }), error);
    QCOMPARE(window.frameGeometry(), after);
}

void TestWindowPlacement::savePlacement()
{
    QWidget window;
    window.setObjectName("Form1");
    window.setGeometry(-8, 30, 616, 433);
    ::savePlacement(&window, m_profile);
    QCOMPARE(readFile(m_profile.fileName()), QByteArray("[tst_windowplacement]\nForm1=-8:30:616:433\n"));

    window.move(120, 80);
    ::savePlacement(&window, m_profile);
    QCOMPARE(readFile(m_profile.fileName()), QByteArray("[tst_windowplacement]\nForm1=120:80:616:433\n"));
}

void TestWindowPlacement::placementRoundTrip()
{
    QWidget window;
    window.setObjectName("Form1");
    window.resize(600, 394);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.move(130, 70);
    const QRect frame = window.frameGeometry();
    QVERIFY(frame.size() != window.size());
    ::savePlacement(&window, m_profile);

    QWidget restored;
    restored.setObjectName("Form1");
    restored.resize(300, 200);
    restored.show();
    QVERIFY(QTest::qWaitForWindowExposed(&restored));
    ::restorePlacement(&restored, m_profile);
    QCOMPARE(restored.frameGeometry(), frame);
}

void TestWindowPlacement::restoredBeforeFirstShow_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QRect>("frame");
    QTest::addColumn<QSize>("client");

    // The offscreen platform frames a shown window with 2 pixels on each side.
    QTest::newRow("stored placement") << "130:70:700:500" << QRect(130, 70, 700, 500)
                                      << QSize(696, 496);
    // A field equal to the present value changes nothing: the frame is added to it.
    QTest::newRow("only the width changes") << "130:70:700:394" << QRect(130, 70, 700, 398)
                                            << QSize(696, 394);
    QTest::newRow("first start keeps the client size") << QString() << QRect(130, 70, 604, 398)
                                                       << QSize(600, 394);
}

void TestWindowPlacement::restoredBeforeFirstShow()
{
    QFETCH(QString, stored);
    QFETCH(QRect, frame);
    QFETCH(QSize, client);

    if (!stored.isNull())
        m_profile.setValue(ProgramIdentity().baseName(), "Form1", stored);
    QWidget window;
    window.setObjectName("Form1");
    window.resize(600, 394);
    window.move(130, 70);
    ::restorePlacement(&window, m_profile, workArea);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_COMPARE(window.frameGeometry(), frame);
    QCOMPARE(window.size(), client);
}

void TestWindowPlacement::unchangedFieldsMoveNothing_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("moved");

    QTest::newRow("first start") << QString() << false;
    QTest::newRow("entry equal to the present placement") << "0:0:600:394" << false;
    QTest::newRow("top changes") << "0:5:600:394" << true;
}

// A window that was never moved is placed by the window manager when it is first shown.
void TestWindowPlacement::unchangedFieldsMoveNothing()
{
    QFETCH(QString, stored);
    QFETCH(bool, moved);

    if (!stored.isNull())
        m_profile.setValue(ProgramIdentity().baseName(), "Form1", stored);
    QWidget window;
    window.setObjectName("Form1");
    window.resize(600, 394);
    ::restorePlacement(&window, m_profile, workArea);
    QCOMPARE(window.testAttribute(Qt::WA_Moved), moved);
    QCOMPARE(window.size(), QSize(600, 394));
}

void TestWindowPlacement::saveOptions()
{
    OptionWindow options;
    options.automatic->setChecked(false);
    ::saveOptions(&options.window, m_profile);
    QCOMPARE(readFile(m_profile.fileName()), QByteArray("[OPTIONS]\nchk_AUTO=0\nmnu_chk_1=1\n"));

    options.automatic->setChecked(true);
    ::saveOptions(&options.window, m_profile);
    QCOMPARE(readFile(m_profile.fileName()), QByteArray("[OPTIONS]\nchk_AUTO=1\nmnu_chk_1=1\n"));
}

void TestWindowPlacement::restoreOptions_data()
{
    QTest::addColumn<QByteArray>("profile");
    QTest::addColumn<bool>("automatic");
    QTest::addColumn<bool>("nested");

    QTest::newRow("cleared") << QByteArray("[OPTIONS]\nchk_AUTO=0\nmnu_chk_1=0\n") << false << false;
    QTest::newRow("set") << QByteArray("[OPTIONS]\nchk_AUTO=5\n") << true << true;
    QTest::newRow("oui keeps the mark") << QByteArray("[OPTIONS]\nchk_AUTO=oui\n") << true << true;
    QTest::newRow("missing entry keeps the mark") << QByteArray("[options]\nmnu_chk_1=0\n") << true
                                                  << false;
    QTest::newRow("no profile") << QByteArray() << true << true;
}

void TestWindowPlacement::restoreOptions()
{
    QFETCH(QByteArray, profile);
    QFETCH(bool, automatic);
    QFETCH(bool, nested);

    if (!profile.isNull())
        writeFile(m_profile.fileName(), profile + "CHK_1=0\nExtract=1\n");
    OptionWindow options;
    ::restoreOptions(&options.window, m_profile);
    QCOMPARE(options.automatic->isChecked(), automatic);
    QCOMPARE(options.nested->isChecked(), nested);
    QCOMPARE(options.capitals->isChecked(), true);
    QCOMPARE(options.plain->isChecked(), false);
}

void TestWindowPlacement::failedWriteRaisesWriteError()
{
    QVERIFY(QDir().mkdir(m_profile.fileName()));
    OptionWindow options;
    QCOMPARE(errorOf([&] { ::saveOptions(&options.window, m_profile); }),
             QStringLiteral("Impossible d'écrire dans ") + m_profile.fileName());
}

QTEST_MAIN(TestWindowPlacement)
#include "tst_windowplacement.moc"
