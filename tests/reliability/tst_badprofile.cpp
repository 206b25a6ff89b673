// A profile that is missing, damaged, odd, or cannot be written: the start-up reads what
// it can, every read that fails gives the default, a write that fails says so, and the
// profile is never damaged further.
#include "probecopy.h"
#include "testfiles.h"
#include "support/windowdriver.h"

#include "settings/profile.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QTest>

enum class ProfileTrouble {
    Folder,
    ReadOnlyFile,
    ReadOnlyFolder,
    FullDisk,
};
Q_DECLARE_METATYPE(ProfileTrouble)

namespace {

// Whether every line of before is still in after, in the same order, leaving out the
// entries that the window itself writes.
bool keepsForeignLines(const QByteArray &before, const QByteArray &after)
{
    QList<QByteArray> old = before.split('\n');
    old.removeIf([](const QByteArray &line) {
        const QByteArray key = line.left(line.indexOf('=')).trimmed().toLower();
        return key == "import" || key == "chk_auto" || key == "form1";
    });
    qsizetype found = 0;
    for (const QByteArray &line : after.split('\n')) {
        if (found < old.size() && line == old.at(found))
            ++found;
    }
    return found == old.size();
}

} // namespace

class TestBadProfile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void startupReads_data();
    void startupReads();
    void unwritableProfile_data();
    void unwritableProfile();

private:
    QTemporaryDir m_dir;
    QString m_list;
    QString m_other;
    QString m_programFolder;
};

// The files the profiles name, in a folder that the user nobody may enter.
void TestBadProfile::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(QFile::setPermissions(m_dir.path(), QFileDevice::Permissions(0x7755)));
    m_list = writeFile(m_dir.path(), QStringLiteral("liste.txt"),
                       "Nom <liste@exemple.fr>, autre@exemple.fr\n");
    m_other = writeFile(m_dir.path(), QStringLiteral("autre.txt"), "autre fichier\n");
}

void TestBadProfile::init()
{
    QFile::remove(Profile::defaultFileName());
    const QString tag = QString::fromLatin1(QTest::currentDataTag());
    m_programFolder = m_dir.filePath(QString(tag).replace(u' ', u'-'));
}

void TestBadProfile::cleanup()
{
    QFile::remove(Profile::defaultFileName());
    if (QFileInfo::exists(m_programFolder)) {
        QFile::setPermissions(m_programFolder, QFileDevice::Permissions(0x7755));
        QDir(m_programFolder).removeRecursively();
    }
}

void TestBadProfile::startupReads_data()
{
    QTest::addColumn<QByteArray>("profile");
    QTest::addColumn<bool>("autoExtract");
    QTest::addColumn<bool>("reloads");

    const QByteArray list = QFile::encodeName(m_list);
    const QByteArray other = QFile::encodeName(m_other);
    QTest::newRow("missing") << QByteArray() << true << false;
    QTest::newRow("empty") << QByteArray("") << true << false;
    QTest::newRow("binary garbage") << randomBytes(4096, 7) << true << false;
    QTest::newRow("line of 10 MB")
            << "[FICHIER]\nNOTE=" + QByteArray(10 << 20, 'n') + "\nIMPORT=" + list
                    + "\n[OPTIONS]\nchk_AUTO=0\n"
            << false << true;
    QTest::newRow("value of 10 MB") << "[FICHIER]\nIMPORT=" + QByteArray(10 << 20, 'v') + "\n"
                                    << true << false;
    QTest::newRow("section without ]") << "[OPTIONS\nchk_AUTO=0\n[FICHIER\nIMPORT=" + list + "\n"
                                       << true << false;
    QTest::newRow("duplicate sections and keys")
            << "[OPTIONS]\nchk_AUTO=0\nchk_AUTO=1\n[FICHIER]\nIMPORT=" + list + "\nIMPORT=" + other
                    + "\n[options]\nchk_AUTO=1\n[fichier]\nimport=" + other + "\n"
            << false << true;
}

// The start-up reads what it can without a word, the window works, and the close writes
// its entries while every line already in the profile stays.
void TestBadProfile::startupReads()
{
    QFETCH(QByteArray, profile);
    QFETCH(bool, autoExtract);
    QFETCH(bool, reloads);

    const QString fileName = Profile::defaultFileName();
    if (!profile.isNull())
        writeFile(fileName, profile);

    WindowDriver window;
    window.show();
    QCOMPARE(window.takeErrors(), QStringList());
    QCOMPARE(window.autoExtract(), autoExtract);
    QCOMPARE(window.text(), reloads ? loadedText(readFile(m_list)) : placeholderText);

    window.setAutoExtract(true);
    window.drop(m_list);
    QCOMPARE(window.takeErrors(), QStringList());
    QCOMPARE(window.text(), QStringLiteral("<liste@exemple.fr>\nautre@exemple.fr\n"));

    QVERIFY(window.close());
    QCOMPARE(window.takeErrors(), QStringList());
    const QByteArray written = readFile(fileName);
    QVERIFY(keepsForeignLines(profile, written));
    QCOMPARE(Profile().value(QStringLiteral("FICHIER"), QStringLiteral("IMPORT")),
             m_list);
    QVERIFY(Profile().boolValue(QStringLiteral("OPTIONS"), QStringLiteral("chk_AUTO"), false));
}

void TestBadProfile::unwritableProfile_data()
{
    QTest::addColumn<ProfileTrouble>("trouble");

    QTest::newRow("a folder in its place") << ProfileTrouble::Folder;
    QTest::newRow("read-only file") << ProfileTrouble::ReadOnlyFile;
    QTest::newRow("read-only folder") << ProfileTrouble::ReadOnlyFolder;
    QTest::newRow("full file system") << ProfileTrouble::FullDisk;
}

// Reads still work; a drop loads the file but cannot remember it, and the close cannot
// store anything, so the window stays open; the profile is left exactly as it was. The
// window runs as nobody where only the permissions stop the write, since root passes them.
void TestBadProfile::unwritableProfile()
{
    QFETCH(ProfileTrouble, trouble);

    const bool unprivileged = trouble == ProfileTrouble::ReadOnlyFile
            || trouble == ProfileTrouble::ReadOnlyFolder;
    QString why;
    if (unprivileged && !ProbeCopy::canRunUnprivileged(&why))
        QSKIP(qPrintable(why));

    const QString folder = m_programFolder;
    QVERIFY(QDir().mkdir(folder));
    ProbeCopy probe(folder);
    QVERIFY2(probe.isValid(), qPrintable(probe.error()));
    const QString start = writeFile(m_dir.path(), QStringLiteral("depart.txt"),
                                    "depart@exemple.fr\n");
    const QByteArray profile = "; réglages\n[OPTIONS]\nchk_AUTO=1\n[FICHIER]\nIMPORT="
            + QFile::encodeName(start) + "\n";

    QStringList firstSteps;
    switch (trouble) {
    case ProfileTrouble::Folder:
        QVERIFY(QDir().mkdir(probe.profile()));
        break;
    case ProfileTrouble::ReadOnlyFile:
        writeFile(probe.profile(), profile);
        QVERIFY(QFile::setPermissions(probe.profile(), QFileDevice::Permissions(0x4444)));
        QVERIFY(QFile::setPermissions(folder, QFileDevice::Permissions(0x7777)));
        break;
    case ProfileTrouble::ReadOnlyFolder:
        writeFile(probe.profile(), profile);
        QVERIFY(QFile::setPermissions(probe.profile(), QFileDevice::Permissions(0x6666)));
        QVERIFY(QFile::setPermissions(folder, QFileDevice::Permissions(0x5555)));
        break;
    case ProfileTrouble::FullDisk:
        writeFile(probe.profile(), profile);
        // Any new profile is larger than this.
        firstSteps = QStringList{QStringLiteral("fsize=16")};
        break;
    }
    const QStringList entries = folderEntries(folder);

    const QList<QJsonObject> steps =
            probe.run(firstSteps + QStringList{"drop=" + m_list, "close", "extract"}, unprivileged);
    QVERIFY2(steps.size() == 4 + firstSteps.size(), qPrintable(probe.error()));
    const QJsonObject &startUp = steps.constFirst();
    const QJsonObject &drop = steps.at(steps.size() - 3);
    const QJsonObject &close = steps.at(steps.size() - 2);
    const QJsonObject &extract = steps.constLast();

    const QJsonArray writeError{
            QStringLiteral("Impossible d'écrire dans %1.").arg(probe.profile())};
    QCOMPARE(startUp.value("errors").toArray(), QJsonArray());
    if (trouble == ProfileTrouble::Folder)
        QCOMPARE(startUp.value("text").toString(), placeholderText);
    else
        QCOMPARE(startUp.value("text").toString(), QStringLiteral("depart@exemple.fr\n"));
    QCOMPARE(drop.value("errors").toArray(), writeError);
    QCOMPARE(drop.value("text").toString(), loadedText(readFile(m_list)));
    QCOMPARE(close.value("errors").toArray(), writeError);
    QCOMPARE(close.value("closed").toBool(), false);
    QCOMPARE(extract.value("errors").toArray(), QJsonArray());
    QCOMPARE(extract.value("text").toString(),
             QStringLiteral("<liste@exemple.fr>\nautre@exemple.fr\n"));

    if (trouble == ProfileTrouble::Folder)
        QVERIFY(QFileInfo(probe.profile()).isDir());
    else
        QCOMPARE(readFile(probe.profile()), profile);
    QCOMPARE(folderEntries(folder), entries);
}

QTEST_MAIN(TestBadProfile)

#include "tst_badprofile.moc"
