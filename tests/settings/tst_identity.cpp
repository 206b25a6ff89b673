#include "settings/kesto_ini.h"
#include "support/testsupport.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

class TestIdentity : public QObject
{
    Q_OBJECT

private slots:
    void names_data();
    void names();
    void caption_data();
    void caption();
    void runningExecutable();
    void versionText_data();
    void versionText();
    void missingVersion();
    void fileDate();
    void split_data();
    void split();
};

void TestIdentity::names_data()
{
    QTest::addColumn<QString>("executable");
    QTest::addColumn<QString>("baseName");
    QTest::addColumn<QString>("capitals");
    QTest::addColumn<QString>("title");

    QTest::newRow("Adrelio") << "/opt/Adrelio" << "Adrelio" << "ADRELIO" << "Adrelio";
    QTest::newRow("ADRELIO.EXE") << "/opt/ADRELIO.EXE" << "ADRELIO" << "ADRELIO" << "Adrelio";
    QTest::newRow("Outil.Test.exe") << "/opt/Outil.Test.exe" << "Outil.Test" << "OUTIL.TEST"
                                    << "Outil";
    QTest::newRow("Outil.Test") << "/opt/Outil.Test" << "Outil" << "OUTIL" << "Outil";
    QTest::newRow("données.exe") << "/opt/données.exe" << "données" << "DONNéES" << "données";
    QTest::newRow("DONNÉES.exe") << "/opt/DONNÉES.exe" << "DONNÉES" << "DONNÉES" << "Données";
    QTest::newRow("données") << "/opt/données" << "données" << "DONNéES" << "données";
    QTest::newRow("dot in a folder name") << "/opt/v1.2/outil" << "outil" << "OUTIL" << "outil";
    QTest::newRow("hidden file") << "/opt/.outil" << ".outil" << ".OUTIL" << "";
}

void TestIdentity::names()
{
    QFETCH(QString, executable);
    QFETCH(QString, baseName);
    QFETCH(QString, capitals);
    QFETCH(QString, title);

    QCOMPARE(exeNameFromPath(executable, false), baseName);
    QCOMPARE(exeNameFromPath(executable, true), capitals);
    QCOMPARE(applicationTitleFromPath(executable), title);
}

void TestIdentity::caption_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("chaine");
    QTest::addColumn<QString>("expected");

    QTest::newRow("free text") << "Adrelio.exe" << "Démo"
                               << "ADRELIO 1.0.0.0 | Orvalin ***{:- Démo | 12-01-14";
    QTest::newRow("empty free text") << "Adrelio.exe" << ""
                                     << "ADRELIO 1.0.0.0 | Orvalin ***{:-  | 12-01-14";
    QTest::newRow("free text holding %s") << "Adrelio" << "%s"
                                          << "ADRELIO 1.0.0.0 | Orvalin ***{:- %s | 12-01-14";
    QTest::newRow("two dots") << "Outil.Test.exe" << ""
                              << "OUTIL.TEST 1.0.0.0 | Orvalin ***{:-  | 12-01-14";
    QTest::newRow("accented name") << "données.exe" << ""
                                   << "DONNéES 1.0.0.0 | Orvalin ***{:-  | 12-01-14";
}

void TestIdentity::caption()
{
    QFETCH(QString, fileName);
    QFETCH(QString, chaine);
    QFETCH(QString, expected);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFile file(dir.filePath(fileName));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.setFileTime(QDateTime(QDate(2014, 1, 12), QTime(10, 30)),
                             QFileDevice::FileModificationTime));
    file.close();

    QCOMPARE(captionFromPath(file.fileName(), chaine), expected);
}

void TestIdentity::runningExecutable()
{
    const QString path = QCoreApplication::applicationFilePath();
    QCOMPARE(ExeName(false), QString("tst_identity"));
    QCOMPARE(ExeName(true), QString("TST_IDENTITY"));
    QCOMPARE(applicationTitle(), QString("tst_identity"));
    QCOMPARE(App_Version(), QString("1.0.0.0"));
    QVERIFY(QRegularExpression("^\\d\\d-\\d\\d-\\d\\d$").match(App_DATE()).hasMatch());
    QCOMPARE(App_DATE(), QFileInfo(path).lastModified().toString("dd-MM-yy"));
    QCOMPARE(App_Caption("x"), "TST_IDENTITY 1.0.0.0 | Orvalin ***{:- x | " + App_DATE());
}

void TestIdentity::versionText_data()
{
    QTest::addColumn<QString>("built");
    QTest::addColumn<QString>("expected");

    QTest::newRow("four numbers") << "10.2.0.1234" << "10.2.0.1234";
    QTest::newRow("all zero") << "0.0.0.0" << "0.0.0.0";
    QTest::newRow("missing numbers are 0") << "1.0" << "1.0.0.0";
    QTest::newRow("leading zeros dropped") << "01.02.0.0034" << "1.2.0.34";
    QTest::newRow("16-bit limit") << "65535.0.0.1" << "65535.0.0.1";
}

void TestIdentity::versionText()
{
    QFETCH(QString, built);
    QFETCH(QString, expected);

    QCOMPARE(::versionText(built), expected);
}

void TestIdentity::missingVersion()
{
    const QStringList unusable = { "", "1.a", "1.2.3.4.5", "65536.0.0.0", "1..2" };
    for (const QString &built : unusable) {
        QCOMPARE(errorOf([&] { ::versionText(built); }),
                 QString("Les informations de version de sont pas incluses"));
    }
}

void TestIdentity::fileDate()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString target = dir.filePath("target");
    QFile file(target);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.setFileTime(QDateTime(QDate(2009, 11, 3), QTime(23, 59)),
                             QFileDevice::FileModificationTime));
    file.close();
    QVERIFY(QFile::link(target, dir.filePath("link")));

    QCOMPARE(fileDateText(target), QString("03-11-09"));
    QCOMPARE(fileDateText(dir.filePath("link")), QString("03-11-09"));
    QCOMPARE(fileDateText(dir.path()), QString());
    QCOMPARE(fileDateText(dir.filePath("missing")), QString());
    QCOMPARE(fileDateText(QString()), QString());
    QCOMPARE(captionFromPath(dir.filePath("missing.exe"), ""),
             QString("MISSING 1.0.0.0 | Orvalin ***{:-  | "));
}

void TestIdentity::split_data()
{
    QTest::addColumn<QString>("chaine");
    QTest::addColumn<QString>("separateur");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("four fields") << "10:20:30:40" << ":" << QStringList { "10", "20", "30", "40" };
    QTest::newRow("doubled separator") << "a::b" << ":" << QStringList { "a", "", "b" };
    QTest::newRow("leading separator") << ":a" << ":" << QStringList { "", "a" };
    QTest::newRow("trailing separator") << "a:" << ":" << QStringList { "a" };
    QTest::newRow("two trailing separators") << "a::" << ":" << QStringList { "a", "" };
    QTest::newRow("only a separator") << ":" << ":" << QStringList { "" };
    QTest::newRow("empty text") << "" << ":" << QStringList();
    QTest::newRow("no separator") << "abc" << ":" << QStringList { "abc" };
    QTest::newRow("two-character separator") << "1--2" << "--" << QStringList { "1", "2" };
    QTest::newRow("no overlap") << "1---2" << "--" << QStringList { "1", "-2" };
    QTest::newRow("case-sensitive") << "aXbxc" << "x" << QStringList { "aXb", "c" };
    QTest::newRow("empty separator") << "abc" << "" << QStringList { "abc" };
}

void TestIdentity::split()
{
    QFETCH(QString, chaine);
    QFETCH(QString, separateur);
    QFETCH(QStringList, expected);

    QCOMPARE(Split(chaine, separateur), expected);
}

QTEST_GUILESS_MAIN(TestIdentity)
#include "tst_identity.moc"
