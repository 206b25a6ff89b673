#include "settings/identity.h"
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
    void versionFromBuild_data();
    void versionFromBuild();
    void missingVersion();
    void fileDate();
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

    const ProgramIdentity identity(executable);
    QCOMPARE(identity.baseName(), baseName);
    QCOMPARE(identity.baseNameInCapitals(), capitals);
    QCOMPARE(identity.title(), title);
}

void TestIdentity::caption_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("freeText");
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
    QFETCH(QString, freeText);
    QFETCH(QString, expected);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFile file(dir.filePath(fileName));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.setFileTime(QDateTime(QDate(2014, 1, 12), QTime(10, 30)),
                             QFileDevice::FileModificationTime));
    file.close();

    QCOMPARE(ProgramIdentity(file.fileName()).caption(freeText), expected);
}

void TestIdentity::runningExecutable()
{
    const QString path = QCoreApplication::applicationFilePath();
    const ProgramIdentity identity;
    QCOMPARE(identity.executablePath(), path);
    QCOMPARE(identity.baseName(), QString("tst_identity"));
    QCOMPARE(identity.baseNameInCapitals(), QString("TST_IDENTITY"));
    QCOMPARE(identity.title(), QString("tst_identity"));
    QCOMPARE(identity.version(), QString("1.0.0.0"));
    QVERIFY(QRegularExpression("^\\d\\d-\\d\\d-\\d\\d$").match(identity.date()).hasMatch());
    QCOMPARE(identity.date(), QFileInfo(path).lastModified().toString("dd-MM-yy"));
    QCOMPARE(identity.caption("x"), "TST_IDENTITY 1.0.0.0 | Orvalin ***{:- x | " + identity.date());
}

void TestIdentity::versionFromBuild_data()
{
    QTest::addColumn<QString>("built");
    QTest::addColumn<QString>("expected");

    QTest::newRow("four numbers") << "10.2.0.1234" << "10.2.0.1234";
    QTest::newRow("all zero") << "0.0.0.0" << "0.0.0.0";
    QTest::newRow("missing numbers are 0") << "1.0" << "1.0.0.0";
    QTest::newRow("leading zeros dropped") << "01.02.0.0034" << "1.2.0.34";
    QTest::newRow("16-bit limit") << "65535.0.0.1" << "65535.0.0.1";
}

void TestIdentity::versionFromBuild()
{
    QFETCH(QString, built);
    QFETCH(QString, expected);

    QCOMPARE(ProgramIdentity::versionFromBuild(built), expected);
}

void TestIdentity::missingVersion()
{
    const QStringList unusable = { "", "1.a", "1.2.3.4.5", "65536.0.0.0", "1..2" };
    for (const QString &built : unusable) {
        QCOMPARE(errorOf([&] { ProgramIdentity::versionFromBuild(built); }),
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

    QCOMPARE(ProgramIdentity(target).date(), QString("03-11-09"));
    QCOMPARE(ProgramIdentity(dir.filePath("link")).date(), QString("03-11-09"));
    QCOMPARE(ProgramIdentity(dir.path()).date(), QString());
    QCOMPARE(ProgramIdentity(dir.filePath("missing")).date(), QString());
    QCOMPARE(ProgramIdentity(QString()).date(), QString());
    QCOMPARE(ProgramIdentity(dir.filePath("missing.exe")).caption(""),
             QString("MISSING 1.0.0.0 | Orvalin ***{:-  | "));
}

QTEST_GUILESS_MAIN(TestIdentity)
#include "tst_identity.moc"
