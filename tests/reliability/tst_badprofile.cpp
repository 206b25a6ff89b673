// A profile that is missing, damaged, odd, or cannot be written: the start-up reads what
// it can, every read that fails gives the default, a write that fails says so, and the
// profile is never damaged further.
#include "probecopy.h"
#include "testfiles.h"
#include "support/windowdriver.h"

#include "settings/identity.h"
#include "settings/profile.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <sys/stat.h>

using namespace Qt::Literals::StringLiterals;

// What the user's config folder holds when a copy in a read-only folder starts.
enum class UserProfile {
    Missing,
    Present,
};
Q_DECLARE_METATYPE(UserProfile)

enum class ProfileTrouble {
    Folder,
    Fifo,
    DeviceLink,
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
    void utf16Profile_data();
    void utf16Profile();
    void unwritableProfile_data();
    void unwritableProfile();
    void readOnlyProgramFolder_data();
    void readOnlyProgramFolder();

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
    QFile::remove(Profile().fileName());
    const QString tag = QString::fromLatin1(QTest::currentDataTag());
    m_programFolder = m_dir.filePath(QString(tag).replace(u' ', u'-').replace(u'/', u'-'));
}

void TestBadProfile::cleanup()
{
    QFile::remove(Profile().fileName());
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

    const QString fileName = Profile().fileName();
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

void TestBadProfile::utf16Profile_data()
{
    QTest::addColumn<bool>("bigEndian");

    QTest::newRow("little-endian") << false;
    QTest::newRow("big-endian") << true;
}

// A profile saved as "Unicode" by a Windows editor: UTF-16 after its mark, CR LF breaks.
// The start-up reads it, and the close writes its entries into it in UTF-16, every other
// line kept.
void TestBadProfile::utf16Profile()
{
    QFETCH(bool, bigEndian);

    const QString before = u"; réglages de l'éditeur\r\n[OPTIONS]\r\nchk_AUTO=0\r\n[FICHIER]\r\n"
                           "IMPORT=%1\r\n[Autre]\r\nclé=\U0001F600\r\n"_s.arg(m_list);
    const QString fileName = Profile().fileName();
    writeFile(fileName, utf16Bytes(before, bigEndian));

    WindowDriver window;
    window.show();
    QCOMPARE(window.takeErrors(), QStringList());
    QVERIFY(!window.autoExtract());
    QCOMPARE(window.text(), loadedText(readFile(m_list)));
    QVERIFY(window.close());
    QCOMPARE(window.takeErrors(), QStringList());

    const QByteArray written = readFile(fileName);
    QVERIFY(written.startsWith(utf16Bytes(QString(), bigEndian)));
    QVERIFY(written.size() % 2 == 0);
    QString after(written.size() / 2 - 1, Qt::Uninitialized);
    if (bigEndian)
        qFromBigEndian<char16_t>(written.constData() + 2, after.size(), after.data());
    else
        qFromLittleEndian<char16_t>(written.constData() + 2, after.size(), after.data());
    QVERIFY2(keepsForeignLines(before.toUtf8(), after.toUtf8()), qPrintable(after));
    QCOMPARE(Profile().value(u"FICHIER"_s, u"IMPORT"_s), m_list);
    QCOMPARE(Profile().value(u"Autre"_s, u"clé"_s), u"\U0001F600"_s);
    QCOMPARE(Profile().value(u"OPTIONS"_s, u"chk_AUTO"_s), u"0"_s);
    QCOMPARE(Profile().value(ProgramIdentity().baseName(), u"Form1"_s).count(u':'), 3);
}

void TestBadProfile::unwritableProfile_data()
{
    QTest::addColumn<ProfileTrouble>("trouble");

    QTest::newRow("a folder in its place") << ProfileTrouble::Folder;
    QTest::newRow("a FIFO in its place") << ProfileTrouble::Fifo;
    QTest::newRow("a link to /dev/zero") << ProfileTrouble::DeviceLink;
    QTest::newRow("read-only file") << ProfileTrouble::ReadOnlyFile;
    QTest::newRow("read-only folder") << ProfileTrouble::ReadOnlyFolder;
    QTest::newRow("full file system") << ProfileTrouble::FullDisk;
}

// Reads still work; a drop loads the file but cannot remember it, and the close cannot
// store anything, so the window stays open; the profile is left exactly as it was. The
// window runs as nobody where only the permissions stop the write, since root passes them.
// In a read-only folder the profile beside the program is only read, and the one in the
// user's config folder cannot be made either. A profile that is not a regular file is
// neither read nor written: a FIFO would make the start-up wait for a writer for ever, and
// /dev/zero never ends, so the probe is given far less time than a hang would take.
void TestBadProfile::unwritableProfile()
{
    QFETCH(ProfileTrouble, trouble);

    const bool unprivileged = trouble == ProfileTrouble::ReadOnlyFile
            || trouble == ProfileTrouble::ReadOnlyFolder;
    QString why;
    if (unprivileged && !canRunUnprivileged(&why))
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
    const bool notRegular = trouble == ProfileTrouble::Folder || trouble == ProfileTrouble::Fifo
            || trouble == ProfileTrouble::DeviceLink;
    switch (trouble) {
    case ProfileTrouble::Folder:
        QVERIFY(QDir().mkdir(probe.profile()));
        break;
    case ProfileTrouble::Fifo:
        QVERIFY(::mkfifo(QFile::encodeName(probe.profile()).constData(), 0644) == 0);
        probe.setTimeLimit(20000);
        break;
    case ProfileTrouble::DeviceLink:
        QVERIFY(QFile::link(u"/dev/zero"_s, probe.profile()));
        probe.setTimeLimit(20000);
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

    // The profile of a copy in a read-only folder goes to the user's config folder, which
    // the probe's home does not let it make.
    const QString written =
            trouble == ProfileTrouble::ReadOnlyFolder ? probe.userProfile() : probe.profile();
    const QJsonArray writeError{ QStringLiteral("Impossible d'écrire dans %1.").arg(written) };
    QCOMPARE(startUp.value("errors").toArray(), QJsonArray());
    if (notRegular)
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

    const QFileInfo after(probe.profile());
    switch (trouble) {
    case ProfileTrouble::Folder:
        QVERIFY(after.isDir());
        break;
    case ProfileTrouble::Fifo: {
        struct stat status;
        QVERIFY(::stat(QFile::encodeName(probe.profile()).constData(), &status) == 0);
        QVERIFY(S_ISFIFO(status.st_mode));
        break;
    }
    case ProfileTrouble::DeviceLink:
        QCOMPARE(after.symLinkTarget(), u"/dev/zero"_s);
        break;
    default:
        QCOMPARE(readFile(probe.profile()), profile);
    }
    QCOMPARE(folderEntries(folder), entries);
}

void TestBadProfile::readOnlyProgramFolder_data()
{
    QTest::addColumn<bool>("defaults");
    QTest::addColumn<UserProfile>("userProfile");
    QTest::addColumn<QString>("startText");
    QTest::addColumn<bool>("autoExtract");

    // The defaults name a file and turn "Extraction automatique" off; the user's own
    // profile, once there, is the only one read.
    QTest::newRow("first start") << false << UserProfile::Missing << placeholderText << true;
    QTest::newRow("administrator's defaults")
            << true << UserProfile::Missing << QStringLiteral("Départ <depart@exemple.fr>\n")
            << false;
    QTest::newRow("user profile over the defaults")
            << true << UserProfile::Present << QStringLiteral("<suivi@exemple.fr>\n") << true;
}

// A copy in a folder that its user cannot write, as an installed program is, keeps its
// profile in the user's config folder: the close stores the session there and the next
// start restores it. Until that profile exists, a profile beside the program gives the
// start-up's entries and the first write's content; it is never written.
void TestBadProfile::readOnlyProgramFolder()
{
    QFETCH(bool, defaults);
    QFETCH(UserProfile, userProfile);
    QFETCH(QString, startText);
    QFETCH(bool, autoExtract);

    QString why;
    if (!canRunUnprivileged(&why))
        QSKIP(qPrintable(why));
    const QString folder = m_programFolder;
    const QString home = m_programFolder + QStringLiteral("-home");
    QVERIFY(QDir().mkdir(folder));
    QVERIFY(QDir().mkdir(home));
    QVERIFY(giveToUnprivilegedUser(home));
    ProbeCopy probe(folder);
    QVERIFY2(probe.isValid(), qPrintable(probe.error()));
    probe.setHome(home);

    const QString start = writeFile(m_dir.path(), QStringLiteral("depart.txt"),
                                    "Départ <depart@exemple.fr>\n");
    const QByteArray adminProfile = "; réglages du poste\n[OPTIONS]\nchk_AUTO=0\n"
                                    "[FICHIER]\nIMPORT=" + QFile::encodeName(start)
            + "\n[AUTRE]\nclé=valeur\n";
    if (defaults)
        writeFile(probe.profile(), adminProfile);
    if (userProfile == UserProfile::Present) {
        const QString followUp = writeFile(m_dir.path(), QStringLiteral("suivi.txt"),
                                           "Suivi <suivi@exemple.fr>\n");
        const QString configFolder = QFileInfo(probe.userProfile()).path();
        QVERIFY(QDir().mkpath(configFolder));
        writeFile(probe.userProfile(), "[FICHIER]\nIMPORT=" + QFile::encodeName(followUp) + "\n");
        const QStringList made{ home + QStringLiteral("/.config"), configFolder,
                                probe.userProfile() };
        for (const QString &path : made)
            QVERIFY(giveToUnprivilegedUser(path));
    }
    QVERIFY(QFile::setPermissions(folder, QFileDevice::Permissions(0x5555)));
    const QStringList entries = folderEntries(folder);
    const QString listText = autoExtract ? QStringLiteral("<liste@exemple.fr>\nautre@exemple.fr\n")
                                         : loadedText(readFile(m_list));

    QList<QJsonObject> steps = probe.run({ "drop=" + m_list, "close" }, true);
    QVERIFY2(steps.size() == 3, qPrintable(probe.error()));
    QCOMPARE(steps[0].value("errors").toArray(), QJsonArray());
    QCOMPARE(steps[0].value("text").toString(), startText);
    QCOMPARE(steps[1].value("errors").toArray(), QJsonArray());
    QCOMPARE(steps[1].value("text").toString(), listText);
    QCOMPARE(steps[2].value("errors").toArray(), QJsonArray());
    QCOMPARE(steps[2].value("closed").toBool(), true);

    QCOMPARE(folderEntries(folder), entries);
    QCOMPARE(readFile(probe.profile()), defaults ? adminProfile : QByteArray("(unreadable)"));
    const Profile stored(probe.userProfile());
    QCOMPARE(stored.value(QStringLiteral("FICHIER"), QStringLiteral("IMPORT")), m_list);
    QCOMPARE(stored.boolValue(QStringLiteral("OPTIONS"), QStringLiteral("chk_AUTO"), !autoExtract),
             autoExtract);
    QCOMPARE(stored.value(QStringLiteral("reliabilityprobe"), QStringLiteral("Form1")).count(u':'),
             3);
    if (defaults && userProfile == UserProfile::Missing)
        QVERIFY(keepsForeignLines(adminProfile, readFile(probe.userProfile())));

    steps = probe.run({}, true);
    QVERIFY2(steps.size() == 1, qPrintable(probe.error()));
    QCOMPARE(steps[0].value("errors").toArray(), QJsonArray());
    QCOMPARE(steps[0].value("text").toString(), listText);
}

QTEST_MAIN(TestBadProfile)

#include "tst_badprofile.moc"
