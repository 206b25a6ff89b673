#include "app/errorbox.h"
#include "settings/kesto_ini.h"
#include "support/windowsupport.h"
#include "worklist/adrelioerror.h"
#include "worklist/progress.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <new>
#include <stdexcept>

class tst_ErrorBox : public QObject
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
};

void tst_ErrorBox::text_data()
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

void tst_ErrorBox::text()
{
    QFETCH(QString, message);
    QFETCH(QString, shown);
    QCOMPARE(errorBoxText(message), shown);
}

void tst_ErrorBox::runHandlerShowsErrors_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("shown");

    QTest::newRow("AdrelioError") << 0 << "Impossible d'écrire dans /x/Adrelio.INI.";
    QTest::newRow("out of memory") << 1 << "Mémoire insuffisante.";
    QTest::newRow("other exception") << 2 << "vector::at.";
}

void tst_ErrorBox::runHandlerShowsErrors()
{
    QFETCH(int, kind);
    QFETCH(QString, shown);

    ErrorBoxes boxes;
    bool stepAfterError = false;
    const bool completed = runHandler([&] {
        switch (kind) {
        case 0:
            throw AdrelioError(QStringLiteral("Impossible d'écrire dans /x/Adrelio.INI"));
        case 1:
            throw std::bad_alloc();
        default:
            throw std::out_of_range("vector::at");
        }
        stepAfterError = true;
    });

    QVERIFY(!completed);
    QVERIFY(!stepAfterError);
    QCOMPARE(boxes.texts(), QStringList { shown });
}

void tst_ErrorBox::runHandlerSucceeds()
{
    ErrorBoxes boxes;
    bool ran = false;
    QVERIFY(runHandler([&ran] { ran = true; }));
    QVERIFY(ran);
    QVERIFY(boxes.texts().isEmpty());
}

void tst_ErrorBox::cancelledWorkShowsNothing()
{
    ErrorBoxes boxes;
    QVERIFY(!runHandler([] { throw OperationCancelled(); }));
    QVERIFY(boxes.texts().isEmpty());
}

void tst_ErrorBox::boxIsCriticalWithOneOk()
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

    QCOMPARE(title, applicationTitle());
    QCOMPARE(title, QStringLiteral("tst_errorbox"));
    QCOMPARE(text, QStringLiteral("Le texte dépasse la capacité du mémo."));
    QCOMPARE(icon, QMessageBox::Critical);
    QCOMPARE(buttons, 1);
}

QTEST_MAIN(tst_ErrorBox)

#include "tst_errorbox.moc"
