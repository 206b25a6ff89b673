#include "app/errorbox.h"
#include "app/messagebox.h"
#include "settings/identity.h"
#include "support/windowdriver.h"
#include "base/adrelioerror.h"
#include "base/progress.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <new>
#include <stdexcept>

// What a handler throws.
enum class Thrown { AdrelioError, OutOfMemory, OtherException };
Q_DECLARE_METATYPE(Thrown)

class TestErrorBox : public QObject
{
    Q_OBJECT

private slots:
    void text_data();
    void text();
    void runHandlerShowsErrors_data();
    void runHandlerShowsErrors();
    void runHandlerSucceeds();
    void cancelledWorkShowsNothing();
    void boxIsCriticalWithOneOk();
    void messageBox();
};

void TestErrorBox::text_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");

    QTest::newRow("letter") << "Erreur" << "Erreur.";
    QTest::newRow("period") << "Erreur." << "Erreur.";
    QTest::newRow("parenthesis") << "Erreur (x)" << "Erreur (x)";
    QTest::newRow("exclamation") << "Erreur !" << "Erreur !";
    QTest::newRow("blank") << "Erreur " << "Erreur ";
    QTest::newRow("hyphen, below the period") << "a-" << "a-";
    QTest::newRow("slash, above the period") << "a/" << "a/.";
    QTest::newRow("digit") << "ligne 9" << "ligne 9.";
    QTest::newRow("double quote") << "fichier \"x\"" << "fichier \"x\"";
    QTest::newRow("accented letter") << "Copié" << "Copié.";
    QTest::newRow("empty") << "" << "";
}

void TestErrorBox::text()
{
    QFETCH(QString, message);
    QFETCH(QString, shown);
    QCOMPARE(errorBoxText(message), shown);
}

void TestErrorBox::runHandlerShowsErrors_data()
{
    QTest::addColumn<Thrown>("thrown");
    QTest::addColumn<QString>("shown");

    QTest::newRow("AdrelioError") << Thrown::AdrelioError << "Impossible d'écrire dans /x/Adrelio.INI.";
    QTest::newRow("out of memory") << Thrown::OutOfMemory << "Mémoire insuffisante.";
    QTest::newRow("other exception") << Thrown::OtherException << "vector::at.";
}

void TestErrorBox::runHandlerShowsErrors()
{
    QFETCH(Thrown, thrown);
    QFETCH(QString, shown);

    ErrorBoxes boxes;
    bool stepAfterError = false;
    const bool completed = runHandler([&] {
        switch (thrown) {
        case Thrown::AdrelioError:
            throw AdrelioError(QStringLiteral("Impossible d'écrire dans /x/Adrelio.INI"));
        case Thrown::OutOfMemory:
            throw std::bad_alloc();
        case Thrown::OtherException:
            throw std::out_of_range("vector::at");
        }
        stepAfterError = true;
    });

    QVERIFY(!completed);
    QVERIFY(!stepAfterError);
    QCOMPARE(boxes.texts(), QStringList { shown });
}

void TestErrorBox::runHandlerSucceeds()
{
    ErrorBoxes boxes;
    bool ran = false;
    QVERIFY(runHandler([&ran] { ran = true; }));
    QVERIFY(ran);
    QVERIFY(boxes.texts().isEmpty());
}

void TestErrorBox::cancelledWorkShowsNothing()
{
    ErrorBoxes boxes;
    QVERIFY(!runHandler([] { throw OperationCancelled(); }));
    QVERIFY(boxes.texts().isEmpty());
}

void TestErrorBox::boxIsCriticalWithOneOk()
{
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int buttons = 0;
    QTimer::singleShot(0, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        QVERIFY(box);
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        buttons = box->buttons().size();
        box->button(QMessageBox::Ok)->click();
    });
    showErrorBox(QStringLiteral("Le texte dépasse la capacité du mémo"));

    QCOMPARE(title, ProgramIdentity().title());
    QCOMPARE(title, QStringLiteral("tst_errorbox"));
    QCOMPARE(text, QStringLiteral("Le texte dépasse la capacité du mémo."));
    QCOMPARE(icon, QMessageBox::Critical);
    QCOMPARE(buttons, 1);
}

void TestErrorBox::messageBox()
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
    showMessage(QStringLiteral("<b>Copié</b>"));

    QVERIFY(wasModal);
    QCOMPARE(title, QString("tst_errorbox"));
    QCOMPARE(text, QString("<b>Copié</b>"));
    QCOMPARE(format, Qt::PlainText);
    QCOMPARE(icon, QMessageBox::NoIcon);
    QCOMPARE(buttons.size(), 1);
}

QTEST_MAIN(TestErrorBox)

#include "tst_errorbox.moc"
