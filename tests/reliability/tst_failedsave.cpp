// Saves that cannot be done: each says why, the file that was there stays byte for byte,
// nothing is left behind, and the next save works.
#include "probecopy.h"
#include "testfiles.h"

#include "settings/profile.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

enum class SaveTrouble {
    ReadOnlyFile,
    MissingFolder,
    FolderIsFile,
    FullDisk,
};
Q_DECLARE_METATYPE(SaveTrouble)

class TestFailedSave : public QObject
{
    Q_OBJECT

private slots:
    void failedSave_data();
    void failedSave();
};

void TestFailedSave::failedSave_data()
{
    QTest::addColumn<SaveTrouble>("trouble");

    QTest::newRow("onto a read-only file") << SaveTrouble::ReadOnlyFile;
    QTest::newRow("into a missing folder") << SaveTrouble::MissingFolder;
    QTest::newRow("under a file taken for a folder") << SaveTrouble::FolderIsFile;
    QTest::newRow("onto a full file system") << SaveTrouble::FullDisk;
}

// The window loads and extracts a list at start-up, then saves it where it cannot, then
// where it can. Only the file's permission stops the save onto a read-only file, and root
// passes it, so that window runs as nobody.
void TestFailedSave::failedSave()
{
    QFETCH(SaveTrouble, trouble);

    const bool unprivileged = trouble == SaveTrouble::ReadOnlyFile;
    QString why;
    if (unprivileged && !canRunUnprivileged(&why))
        QSKIP(qPrintable(why));

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QFile::setPermissions(dir.path(), QFileDevice::Permissions(0x7777)));
    ProbeCopy probe(dir.path());
    QVERIFY2(probe.isValid(), qPrintable(probe.error()));
    const QString list = writeFile(dir.path(), QStringLiteral("liste.txt"),
                                   "Nom <liste@exemple.fr>, autre@exemple.fr\n");
    Profile(probe.profile()).setValue(QStringLiteral("FICHIER"), QStringLiteral("IMPORT"), list);

    const QByteArray old = "ancien contenu\r\n";
    const QString existing = writeFile(dir.path(), QStringLiteral("ADRESSES.TXT"), old);
    QString target = existing;
    QString error;
    QStringList steps;
    switch (trouble) {
    case SaveTrouble::ReadOnlyFile:
        QVERIFY(QFile::setPermissions(existing, QFileDevice::Permissions(0x4444)));
        error = createErrorBoxText(target, EACCES);
        break;
    case SaveTrouble::MissingFolder:
        target = dir.filePath(QStringLiteral("absent/ADRESSES.TXT"));
        error = createErrorBoxText(target, ENOENT);
        break;
    case SaveTrouble::FolderIsFile:
        target = existing + QStringLiteral("/ADRESSES.TXT");
        error = createErrorBoxText(target, ENOTDIR);
        break;
    case SaveTrouble::FullDisk:
        steps << QStringLiteral("fsize=8");
        error = QStringLiteral("Erreur d'écriture dans le flux.");
        break;
    }
    const QStringList entries = folderEntries(dir.path());
    const QString next = dir.filePath(QStringLiteral("nouveau.txt"));
    steps << "save=" + target << QStringLiteral("fsize=none") << "save=" + next;

    const QList<QJsonObject> lines = probe.run(steps, unprivileged);
    QVERIFY2(lines.size() == steps.size() + 1, qPrintable(probe.error()));
    const QString extracted = QStringLiteral("<liste@exemple.fr>\nautre@exemple.fr\n");
    QCOMPARE(lines.constFirst().value("errors").toArray(), QJsonArray());
    QCOMPARE(lines.constFirst().value("text").toString(), extracted);
    const QJsonObject &failed = lines.at(lines.size() - 3);
    QCOMPARE(failed.value("errors").toArray(), QJsonArray{error});
    QCOMPARE(failed.value("text").toString(), extracted);
    QCOMPARE(readFile(existing), old);

    QCOMPARE(lines.constLast().value("errors").toArray(), QJsonArray());
    QCOMPARE(readFile(next), QByteArray("\xEF\xBB\xBF<liste@exemple.fr>\r\nautre@exemple.fr\r\n"));
    QStringList after = entries;
    after.append(QStringLiteral("nouveau.txt"));
    after.sort();
    QCOMPARE(folderEntries(dir.path()), after);
}

QTEST_MAIN(TestFailedSave)

#include "tst_failedsave.moc"
