#include "settings/kesto_ini.h"
#include "settings/kesto_iniwidgets.h"
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

class TestPlacement : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void getPosition_data();
    void getPosition();
    void savePosition();
    void positionRoundTrip();
    void restoredBeforeFirstShow_data();
    void restoredBeforeFirstShow();
    void unchangedFieldsMoveNothing_data();
    void unchangedFieldsMoveNothing();
    void saveComponents();
    void getComponents_data();
    void getComponents();
    void failedWriteRaisesWriteError();
    void messageBox();

private:
    QString m_profile;
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

void TestPlacement::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_profile = m_dir->filePath(QStringLiteral("Adrelio.INI"));
}

void TestPlacement::getPosition_data()
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

void TestPlacement::getPosition()
{
    QFETCH(QRect, before);
    QFETCH(QString, stored);
    QFETCH(QRect, after);
    QFETCH(QString, error);

    if (!stored.isNull())
        SaveStr(ExeName(false), "Form1", stored, m_profile);
    QWidget window;
    window.setObjectName("Form1");
    window.setGeometry(before);

    QCOMPARE(errorOf([&] { GetPosition(&window, m_profile, workArea); }), error);
    QCOMPARE(window.frameGeometry(), after);
}

void TestPlacement::savePosition()
{
    QWidget window;
    window.setObjectName("Form1");
    window.setGeometry(-8, 30, 616, 433);
    SavePosition(&window, m_profile);
    QCOMPARE(readFile(m_profile), QByteArray("[tst_placement]\nForm1=-8:30:616:433\n"));

    window.move(120, 80);
    SavePosition(&window, m_profile);
    QCOMPARE(readFile(m_profile), QByteArray("[tst_placement]\nForm1=120:80:616:433\n"));
}

void TestPlacement::positionRoundTrip()
{
    QWidget window;
    window.setObjectName("Form1");
    window.resize(600, 394);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.move(130, 70);
    const QRect frame = window.frameGeometry();
    QVERIFY(frame.size() != window.size());
    SavePosition(&window, m_profile);

    QWidget restored;
    restored.setObjectName("Form1");
    restored.resize(300, 200);
    restored.show();
    QVERIFY(QTest::qWaitForWindowExposed(&restored));
    GetPosition(&restored, m_profile);
    QCOMPARE(restored.frameGeometry(), frame);
}

void TestPlacement::restoredBeforeFirstShow_data()
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

void TestPlacement::restoredBeforeFirstShow()
{
    QFETCH(QString, stored);
    QFETCH(QRect, frame);
    QFETCH(QSize, client);

    if (!stored.isNull())
        SaveStr(ExeName(false), "Form1", stored, m_profile);
    QWidget window;
    window.setObjectName("Form1");
    window.resize(600, 394);
    window.move(130, 70);
    GetPosition(&window, m_profile, workArea);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_COMPARE(window.frameGeometry(), frame);
    QCOMPARE(window.size(), client);
}

void TestPlacement::unchangedFieldsMoveNothing_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("moved");

    QTest::newRow("first start") << QString() << false;
    QTest::newRow("entry equal to the present placement") << "0:0:600:394" << false;
    QTest::newRow("top changes") << "0:5:600:394" << true;
}

// A window that was never moved is placed by the window manager when it is first shown.
void TestPlacement::unchangedFieldsMoveNothing()
{
    QFETCH(QString, stored);
    QFETCH(bool, moved);

    if (!stored.isNull())
        SaveStr(ExeName(false), "Form1", stored, m_profile);
    QWidget window;
    window.setObjectName("Form1");
    window.resize(600, 394);
    GetPosition(&window, m_profile, workArea);
    QCOMPARE(window.testAttribute(Qt::WA_Moved), moved);
    QCOMPARE(window.size(), QSize(600, 394));
}

void TestPlacement::saveComponents()
{
    OptionWindow options;
    options.automatic->setChecked(false);
    SaveComponents(&options.window, m_profile);
    QCOMPARE(readFile(m_profile), QByteArray("[OPTIONS]\nchk_AUTO=0\nmnu_chk_1=1\n"));

    options.automatic->setChecked(true);
    SaveComponents(&options.window, m_profile);
    QCOMPARE(readFile(m_profile), QByteArray("[OPTIONS]\nchk_AUTO=1\nmnu_chk_1=1\n"));
}

void TestPlacement::getComponents_data()
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

void TestPlacement::getComponents()
{
    QFETCH(QByteArray, profile);
    QFETCH(bool, automatic);
    QFETCH(bool, nested);

    if (!profile.isNull())
        writeFile(m_profile, profile + "CHK_1=0\nExtract=1\n");
    OptionWindow options;
    GetComponents(&options.window, m_profile);
    QCOMPARE(options.automatic->isChecked(), automatic);
    QCOMPARE(options.nested->isChecked(), nested);
    QCOMPARE(options.capitals->isChecked(), true);
    QCOMPARE(options.plain->isChecked(), false);
}

void TestPlacement::failedWriteRaisesWriteError()
{
    QVERIFY(QDir().mkdir(m_profile));
    OptionWindow options;
    QCOMPARE(errorOf([&] { SaveComponents(&options.window, m_profile); }),
             QStringLiteral("Impossible d'écrire dans ") + m_profile);
}

void TestPlacement::messageBox()
{
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::Critical;
    QList<QAbstractButton *> buttons;
    Qt::TextFormat format = Qt::AutoText;
    bool wasModal = false;

    QTimer::singleShot(0, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        QVERIFY(box);
        wasModal = box->isModal();
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        format = box->textFormat();
        buttons = box->buttons();
        QCOMPARE(box->standardButton(buttons.value(0)), QMessageBox::Ok);
        box->button(QMessageBox::Ok)->click();
    });
    sm(QStringLiteral("<b>Copié</b>"));

    QVERIFY(wasModal);
    QCOMPARE(title, QString("tst_placement"));
    QCOMPARE(text, QString("<b>Copié</b>"));
    QCOMPARE(format, Qt::PlainText);
    QCOMPARE(icon, QMessageBox::NoIcon);
    QCOMPARE(buttons.size(), 1);
}

QTEST_MAIN(TestPlacement)
#include "tst_placement.moc"
