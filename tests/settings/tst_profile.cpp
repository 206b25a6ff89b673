#include "settings/profile.h"
#include "support/testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

enum class ExecutableFolder { Writable, ReadOnly };
Q_DECLARE_METATYPE(ExecutableFolder)

// Where a write went: beside the executable, into the user's config folder, or nowhere.
enum class Place { Beside, ConfigFolder, Nowhere };
Q_DECLARE_METATYPE(Place)

class TestProfile : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void readRules_data();
    void readRules();
    void missingEntryGivesDefault_data();
    void missingEntryGivesDefault();
    void writeRules_data();
    void writeRules();
    void getInt_data();
    void getInt();
    void getBool_data();
    void getBool();
    void saveBool();
    void longValueIsCut();
    void garbageIsKept();
    void hugeLines();

    void directoryInPlaceOfProfile();
    void refusedWriteLeavesFileWhole_data();
    void refusedWriteLeavesFileWhole();
    void symbolicLinkIsWrittenThrough();
    void permissionsAreKept();

    void namesForExecutable_data();
    void namesForExecutable();
    void defaultProfileBesideExecutable();
    void placeOfProfile_data();
    void placeOfProfile();
    void userConfigFolderIsNamedForTheProgram();

private:
    QString m_profile;
    std::unique_ptr<QTemporaryDir> m_dir;
};

namespace {

const QString defaultText = QStringLiteral("défaut");

const QFile::Permissions openToAll = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
        | QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
const QFile::Permissions ownerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;

// A copy of profiletool in shared, which every user may enter: what another user runs lies
// there, whatever the test binaries' own folder and the temporary folder of this user are.
// Empty when it cannot be made.
QString toolIn(const QTemporaryDir &shared)
{
    const QString tool = shared.filePath(QStringLiteral("profiletool"));
    if (!shared.isValid() || !QFile::setPermissions(shared.path(), openToAll)
        || !QFile::copy(QStringLiteral(PROFILE_TOOL), tool)
        || !QFile::setPermissions(tool, openToAll))
        return QString();
    return tool;
}

QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden);
}

// Permissions as the owner set them, without those this user has on them.
QFile::Permissions modeOf(const QString &path)
{
    return QFile::permissions(path)
            & ~QFile::Permissions(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser);
}

} // namespace

void TestProfile::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_profile = m_dir->filePath(QStringLiteral("Adrelio.INI"));
}

void TestProfile::readRules_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");

    QTest::newRow("plain") << QByteArray("[S]\nk=v\n") << "S" << "k" << "v";
    QTest::newRow("key without case") << QByteArray("[FICHIER]\nIMPORT=/tmp/a.txt\n")
                                      << "FICHIER" << "import" << "/tmp/a.txt";
    QTest::newRow("section without case") << QByteArray("[options]\nchk_AUTO=0\n")
                                          << "OPTIONS" << "chk_AUTO" << "0";
    QTest::newRow("accented names without case") << QByteArray("[Données]\nclé=été\n")
                                                 << "DONNÉES" << "CLÉ" << "été";
    QTest::newRow("blanks around names and values")
            << QByteArray(" \t[ S ] \nk \t=  a b \t\n") << "S" << "k" << "a b";
    QTest::newRow("double quotes removed") << QByteArray("[S]\nk=\"  a b  \"\n") << "S" << "k"
                                           << "  a b  ";
    QTest::newRow("single quotes removed") << QByteArray("[S]\nk='a'\n") << "S" << "k" << "a";
    QTest::newRow("blanks outside the quotes") << QByteArray("[S]\nk=  \"a\"  \n") << "S" << "k"
                                               << "a";
    QTest::newRow("one pair of quotes only") << QByteArray("[S]\nk=\"\"a\"\"\n") << "S" << "k"
                                             << "\"a\"";
    QTest::newRow("unmatched quotes kept") << QByteArray("[S]\nk=\"a'\n") << "S" << "k" << "\"a'";
    QTest::newRow("lone quote kept") << QByteArray("[S]\nk=\"\n") << "S" << "k" << "\"";
    QTest::newRow("empty quotes") << QByteArray("[S]\nk=\"\"\n") << "S" << "k" << "";
    QTest::newRow("empty value is not the default") << QByteArray("[S]\nk=\n") << "S" << "k" << "";
    QTest::newRow("value holding equals signs") << QByteArray("[S]\nk=a=b\n") << "S" << "k"
                                                << "a=b";
    QTest::newRow("comment lines") << QByteArray("[S]\n;k=1\n  ; k=2\nk=3\n") << "S" << "k" << "3";
    QTest::newRow("commented entry only") << QByteArray("[S]\n;k=1\n") << "S" << "k"
                                          << defaultText;
    QTest::newRow("first duplicate key wins") << QByteArray("[S]\nk=1\nK=2\n") << "S" << "k"
                                              << "1";
    QTest::newRow("first duplicate section wins") << QByteArray("[S]\na=1\n[s]\na=2\n") << "S"
                                                  << "a" << "1";
    QTest::newRow("later duplicate section not searched")
            << QByteArray("[S]\na=1\n[S]\nb=2\n") << "S" << "b" << defaultText;
    QTest::newRow("entry of the other section") << QByteArray("[A]\nk=1\n[B]\nk=2\n") << "B" << "k"
                                                << "2";
    QTest::newRow("key not in the section") << QByteArray("[A]\nk=1\n[B]\n") << "B" << "k"
                                            << defaultText;
    QTest::newRow("lines before the first section") << QByteArray("k=1\n[S]\n") << "S" << "k"
                                                    << defaultText;
    QTest::newRow("line without equals") << QByteArray("[S]\nk\nk=2\n") << "S" << "k" << "2";
    QTest::newRow("name ends at the first bracket") << QByteArray("[S]x]\nk=1\n") << "S" << "k"
                                                    << "1";
    QTest::newRow("bracket line without closing opens nothing")
            << QByteArray("[S\nk=1\n") << "S" << "k" << defaultText;
    QTest::newRow("bracket line without closing keeps the section")
            << QByteArray("[S]\n[T\nk=1\n") << "S" << "k" << "1";
    QTest::newRow("CR LF breaks") << QByteArray("[S]\r\nk=v\r\n") << "S" << "k" << "v";
    QTest::newRow("UTF-8 mark skipped") << QByteArray("\xEF\xBB\xBF[S]\nk=v\n") << "S" << "k"
                                        << "v";
    QTest::newRow("no final break") << QByteArray("[S]\nk=v") << "S" << "k" << "v";
    QTest::newRow("binary garbage around")
            << QByteArray("\x00\xff[\x01]]\n\xfe\xfe=\xff\n[S]\nk=v\n\x80\x81\n", 23) << "S"
            << "k" << "v";
    QTest::newRow("invalid UTF-8 in the value") << QByteArray("[S]\nk=a\xff" "b\n") << "S"
                                                << "k" << QStringLiteral("a\uFFFDb");
    QTest::newRow("U+FEFF opening a value kept") << QByteArray("[S]\nk=\xEF\xBB\xBF" "v\n")
                                                 << "S" << "k" << QStringLiteral("\uFEFFv");
    QTest::newRow("U+FEFF opening a name kept")
            << QByteArray("[S]\n\xEF\xBB\xBFk=1\nk=2\n") << "S" << "k" << "2";
    QTest::newRow("empty file") << QByteArray() << "S" << "k" << defaultText;
    QTest::newRow("UTF-16 little-endian with its mark")
            << utf16Bytes(u"; réglages\r\n[Données]\r\n clé = \"été\" \r\n", false)
            << "DONNÉES" << "CLÉ" << "été";
    QTest::newRow("UTF-16 big-endian with its mark")
            << utf16Bytes(u"[S]\nk=\U0001F600\n", true) << "S" << "k"
            << QStringLiteral("\U0001F600");
    QTest::newRow("UTF-16 with an odd last byte") << utf16Bytes(u"[S]\nk=v", false) + "x" << "S"
                                                  << "k" << "v";
    // Without its mark, UTF-16 is bytes that hold zeros: no name matches.
    QTest::newRow("UTF-16 without a mark") << utf16Bytes(u"[S]\nk=v\n", false).sliced(2) << "S"
                                           << "k" << defaultText;
}

void TestProfile::readRules()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, expected);

    writeFile(m_profile, content);
    QCOMPARE(Profile(m_profile).value(section, key, defaultText), expected);
}

void TestProfile::missingEntryGivesDefault_data()
{
    QTest::addColumn<QString>("defaultValue");
    QTest::addColumn<QString>("expected");

    QTest::newRow("plain") << "abc" << "abc";
    QTest::newRow("trailing blanks stripped") << "abc \t " << "abc";
    QTest::newRow("leading blanks kept") << "  abc" << "  abc";
    QTest::newRow("only blanks") << "   " << "";
    QTest::newRow("empty") << "" << "";
}

void TestProfile::missingEntryGivesDefault()
{
    QFETCH(QString, defaultValue);
    QFETCH(QString, expected);

    QCOMPARE(Profile(m_profile).value("S", "k", defaultValue), expected);
    QVERIFY(!QFile::exists(m_profile));
    writeFile(m_profile, "[S]\nother=1\n");
    QCOMPARE(Profile(m_profile).value("S", "k", defaultValue), expected);
}

void TestProfile::writeRules_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<QString>("readBack");

    QTest::newRow("no file") << QByteArray() << "S" << "k" << "v" << QByteArray("[S]\nk=v\n") << "v";
    QTest::newRow("empty file") << QByteArray("") << "S" << "k" << "v" << QByteArray("[S]\nk=v\n")
                                << "v";
    QTest::newRow("replaced in place, key spelling kept")
            << QByteArray("[s]\n  KEY = old \nk2=x\n") << "S" << "key" << "new"
            << QByteArray("[s]\n  KEY =new\nk2=x\n") << "new";
    QTest::newRow("replaced in place, CR LF kept")
            << QByteArray("[S]\r\nk=old\r\nz=1\r\n") << "S" << "k" << "new"
            << QByteArray("[S]\r\nk=new\r\nz=1\r\n") << "new";
    QTest::newRow("first duplicate key replaced") << QByteArray("[S]\nk=1\nk=2\n") << "S" << "k"
                                                  << "9" << QByteArray("[S]\nk=9\nk=2\n") << "9";
    QTest::newRow("new key after the last entry, before blank lines")
            << QByteArray("[A]\na=1\n\n[B]\nb=1\n") << "A" << "c" << "3"
            << QByteArray("[A]\na=1\nc=3\n\n[B]\nb=1\n") << "3";
    QTest::newRow("new key after a last line without break")
            << QByteArray("[A]\na=1") << "A" << "c" << "3" << QByteArray("[A]\na=1\nc=3\n") << "3";
    QTest::newRow("new key after a lone section line")
            << QByteArray("[S]") << "S" << "k" << "v" << QByteArray("[S]\nk=v\n") << "v";
    QTest::newRow("new key into the first of duplicate sections")
            << QByteArray("[S]\na=1\n[S]\nb=2\n") << "S" << "b" << "3"
            << QByteArray("[S]\na=1\nb=3\n[S]\nb=2\n") << "3";
    QTest::newRow("entry before the first section is not the section's")
            << QByteArray("k=old\n[S]\n") << "S" << "k" << "v"
            << QByteArray("k=old\n[S]\nk=v\n") << "v";
    QTest::newRow("new section at the end") << QByteArray("[A]\na=1\n") << "B" << "b" << "2"
                                            << QByteArray("[A]\na=1\n[B]\nb=2\n") << "2";
    QTest::newRow("new section after a last line without break")
            << QByteArray("[A]\na=1") << "B" << "b" << "2" << QByteArray("[A]\na=1\n[B]\nb=2\n")
            << "2";
    QTest::newRow("file holding only the UTF-8 mark")
            << QByteArray("\xEF\xBB\xBF") << "S" << "k" << "v"
            << QByteArray("\xEF\xBB\xBF[S]\nk=v\n") << "v";
    QTest::newRow("section found without case keeps its spelling")
            << QByteArray("[options]\nchk_AUTO=1\n") << "OPTIONS" << "CHK_auto" << "0"
            << QByteArray("[options]\nchk_AUTO=0\n") << "0";
    QTest::newRow("empty value keeps the key") << QByteArray("[S]\nk=old\n") << "S" << "k" << ""
                                               << QByteArray("[S]\nk=\n") << "";
    QTest::newRow("value written verbatim")
            << QByteArray() << "S" << "k" << "  \"x\" ;y=z "
            << QByteArray("[S]\nk=  \"x\" ;y=z \n") << "\"x\" ;y=z";
    QTest::newRow("quoted value written verbatim")
            << QByteArray() << "S" << "k" << "'a b'" << QByteArray("[S]\nk='a b'\n") << "a b";
    QTest::newRow("UTF-8 value") << QByteArray() << "S" << "k" << "données"
                                 << QByteArray("[S]\nk=données\n") << "données";
    QTest::newRow("value opening with U+FEFF")
            << QByteArray() << "S" << "k" << QStringLiteral("\uFEFF")
            << QByteArray("[S]\nk=\xEF\xBB\xBF\n") << QStringLiteral("\uFEFF");
    QTest::newRow("value cut at a line break")
            << QByteArray("[OPTIONS]\nchk_AUTO=1\n") << "S" << "k" << "a\n[OPTIONS]\r\nchk_AUTO=0"
            << QByteArray("[OPTIONS]\nchk_AUTO=1\n[S]\nk=a\n") << "a";
    QTest::newRow("new key before the comments that end the section")
            << QByteArray("[A]\na=1\n; B holds the list\n[B]\n") << "A" << "c" << "3"
            << QByteArray("[A]\na=1\nc=3\n; B holds the list\n[B]\n") << "3";
    QTest::newRow("new key right after the header of a section without entries")
            << QByteArray("[A]\n; nothing yet\n\n[B]\n") << "A" << "c" << "3"
            << QByteArray("[A]\nc=3\n; nothing yet\n\n[B]\n") << "3";
    QTest::newRow("foreign lines kept byte for byte")
            << QByteArray("\xEF\xBB\xBFstray\n; note\r\n[S]\r\nx = 1\r\n\x01\xff\xfe bin\n"
                          "[broken\nno equals\n  ;k=commented\n\n[T]\nk=1\n")
            << "S" << "k" << "v"
            << QByteArray("\xEF\xBB\xBFstray\n; note\r\n[S]\r\nx = 1\r\nk=v\n\x01\xff\xfe bin\n"
                          "[broken\nno equals\n  ;k=commented\n\n[T]\nk=1\n")
            << "v";
    // The platform's profile functions write a profile with a UTF-16 mark in UTF-16.
    QTest::newRow("UTF-16 little-endian: replaced in place")
            << utf16Bytes(u"; réglages\r\n[S]\r\nk=old\r\nz=1\r\n", false) << "S" << "k" << "clé"
            << utf16Bytes(u"; réglages\r\n[S]\r\nk=clé\r\nz=1\r\n", false) << "clé";
    QTest::newRow("UTF-16 big-endian: new key and new section")
            << utf16Bytes(u"[A]\na=1", true) + "\x00" << "B" << "b" << "\U0001F600"
            << utf16Bytes(u"[A]\na=1\n[B]\nb=\U0001F600\n", true) + "\x00" << "\U0001F600";
    QTest::newRow("UTF-16: an unpaired surrogate elsewhere kept")
            << utf16Bytes(u"[S]\nx=\uFFFF\n"_s.replace(u'\uFFFF', QChar(0xD800)), false) << "S"
            << "k" << "v"
            << utf16Bytes(u"[S]\nx=\uFFFF\nk=v\n"_s.replace(u'\uFFFF', QChar(0xD800)), false)
            << "v";
    QTest::newRow("file holding only a UTF-16 mark")
            << QByteArray("\xFF\xFE") << "S" << "k" << "v" << utf16Bytes(u"[S]\nk=v\n", false)
            << "v";
}

void TestProfile::writeRules()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QByteArray, after);
    QFETCH(QString, readBack);

    if (!before.isNull())
        writeFile(m_profile, before);
    Profile(m_profile).setValue(section, key, value);
    QCOMPARE(readFile(m_profile), after);
    QCOMPARE(Profile(m_profile).value(section, key, defaultText), readBack);
}

void TestProfile::getInt_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("expected");

    QTest::newRow("decimal") << "600" << 600;
    QTest::newRow("0x") << "0x1A" << 26;
    QTest::newRow("0X") << "0X1a" << 26;
    QTest::newRow("dollar") << "$1A" << 26;
    QTest::newRow("x") << "x1A" << 26;
    QTest::newRow("plus") << "+7" << 7;
    QTest::newRow("leading zero") << "010" << 10;
    QTest::newRow("negated hexadecimal") << "-0x10" << -16;
    QTest::newRow("all ones") << "$FFFFFFFF" << -1;
    QTest::newRow("lowest") << "-2147483648" << int(-2147483647 - 1);
    QTest::newRow("quoted") << "\"12\"" << 12;
    QTest::newRow("blanks around") << "  12  " << 12;
    QTest::newRow("above the range") << "2147483648" << -99;
    QTest::newRow("hexadecimal digits without prefix") << "1A" << -99;
    QTest::newRow("0x alone") << "0x" << -99;
    QTest::newRow("dollar alone") << "$" << -99;
    QTest::newRow("two signs") << "--5" << -99;
    QTest::newRow("space after the sign") << "- 5" << -99;
    QTest::newRow("empty") << "" << -99;
    QTest::newRow("missing") << QString() << -99;
}

void TestProfile::getInt()
{
    QFETCH(QString, stored);
    QFETCH(int, expected);

    if (!stored.isNull())
        writeFile(m_profile, "[S]\nk=" + stored.toUtf8() + '\n');
    QCOMPARE(Profile(m_profile).intValue("S", "k", -99), expected);
}

void TestProfile::getBool_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("defaultValue");
    QTest::addColumn<bool>("expected");

    QTest::newRow("0") << "0" << true << false;
    QTest::newRow("1") << "1" << false << true;
    QTest::newRow("5") << "5" << false << true;
    QTest::newRow("-1") << "-1" << false << true;
    QTest::newRow("$10") << "$10" << false << true;
    QTest::newRow("$0") << "$0" << true << false;
    QTest::newRow("oui, default on") << "oui" << true << true;
    QTest::newRow("oui, default off") << "oui" << false << false;
    QTest::newRow("true") << "true" << false << false;
    QTest::newRow("empty") << "" << true << true;
    QTest::newRow("missing, default on") << QString() << true << true;
    QTest::newRow("missing, default off") << QString() << false << false;
}

void TestProfile::getBool()
{
    QFETCH(QString, stored);
    QFETCH(bool, defaultValue);
    QFETCH(bool, expected);

    if (!stored.isNull())
        writeFile(m_profile, "[OPTIONS]\nchk_AUTO=" + stored.toUtf8() + '\n');
    QCOMPARE(Profile(m_profile).boolValue("OPTIONS", "chk_AUTO", defaultValue), expected);
}

void TestProfile::saveBool()
{
    Profile profile(m_profile);
    profile.setBoolValue("S", "d", true);
    profile.setBoolValue("S", "e", false);
    QCOMPARE(readFile(m_profile), QByteArray("[S]\nd=1\ne=0\n"));
    QCOMPARE(profile.boolValue("S", "d", false), true);
    QCOMPARE(profile.boolValue("S", "e", true), false);
}

void TestProfile::longValueIsCut()
{
    QString value;
    for (int i = 0; i < 3000; ++i)
        value += QChar(i % 2 ? u'é' : u'a' + i % 26);
    Profile(m_profile).setValue("S", "k", value);
    QCOMPARE(readFile(m_profile), "[S]\nk=" + value.toUtf8() + '\n');
    QCOMPARE(Profile(m_profile).value("S", "k", QString()), value.left(2047));

    Profile(m_profile).setValue("S", "k", '"' + value + '"');
    QCOMPARE(Profile(m_profile).value("S", "k", QString()), value.left(2047));

    QCOMPARE(Profile(m_profile).value("S", "missing", value), value.left(2047));
}

void TestProfile::garbageIsKept()
{
    QByteArray garbage;
    for (int i = 0; i < 4096; ++i)
        garbage += char((i * 7919 + i / 13) % 256);
    writeFile(m_profile, garbage);

    Profile(m_profile).setValue("OPTIONS", "chk_AUTO", "0");
    const QByteArray written = readFile(m_profile);
    QVERIFY(written.startsWith(garbage));
    QCOMPARE(Profile(m_profile).value("OPTIONS", "chk_AUTO", QString()), QString("0"));

    Profile(m_profile).setValue("OPTIONS", "chk_AUTO", "1");
    QCOMPARE(readFile(m_profile).size(), written.size());
    QVERIFY(readFile(m_profile).startsWith(garbage));
}

void TestProfile::hugeLines()
{
    const qsizetype size = 10 * 1024 * 1024;
    const QByteArray entry = "[S]\nk=" + QByteArray(size, 'a') + '\n';
    const QByteArray unclosedHeader = '[' + QByteArray(size, 'b');
    writeFile(m_profile, entry + unclosedHeader);

    QCOMPARE(Profile(m_profile).value("S", "k", QString()), QString(2047, u'a'));
    Profile(m_profile).setValue("S", "j", "1");
    QCOMPARE(readFile(m_profile), entry + "j=1\n" + unclosedHeader);
    QCOMPARE(Profile(m_profile).value("S", "j", QString()), QString("1"));
}

void TestProfile::directoryInPlaceOfProfile()
{
    QVERIFY(QDir().mkdir(m_profile));

    QCOMPARE(Profile(m_profile).value("S", "k", "d"), QString("d"));
    QCOMPARE(Profile(m_profile).intValue("S", "k", 7), 7);
    QCOMPARE(Profile(m_profile).boolValue("S", "k", true), true);

    const QString expected = QStringLiteral("Impossible d'écrire dans ") + m_profile;
    QCOMPARE(errorOf([&] { Profile(m_profile).setValue("S", "k", "v"); }), expected);
    QCOMPARE(errorOf([&] { Profile(m_profile).setBoolValue("S", "k", true); }), expected);
    QVERIFY(QFileInfo(m_profile).isDir());
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
             QStringList("Adrelio.INI"));
}

void TestProfile::refusedWriteLeavesFileWhole_data()
{
    QTest::addColumn<QFile::Permissions>("folderPermissions");
    QTest::addColumn<QFile::Permissions>("filePermissions");
    QTest::addColumn<QByteArray>("readByNobody");

    const QFile::Permissions readable = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup
            | QFile::ReadOther;
    const QFile::Permissions searchable = QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther;
    const QFile::Permissions writable = QFile::WriteGroup | QFile::WriteOther;

    QTest::newRow("read-only file") << (readable | searchable | writable) << readable
                                    << QByteArray("old");
    QTest::newRow("read-only folder") << (readable | searchable) << (readable | writable)
                                      << QByteArray("old");
    // Rewriting a file that cannot be read would lose all of its other entries.
    QTest::newRow("unreadable file") << (readable | searchable | writable)
                                     << (QFile::ReadOwner | QFile::WriteOwner | writable)
                                     << QByteArray("d");
}

void TestProfile::refusedWriteLeavesFileWhole()
{
    QFETCH(QFile::Permissions, folderPermissions);
    QFETCH(QFile::Permissions, filePermissions);
    QFETCH(QByteArray, readByNobody);

    QString why;
    if (!nobodyAvailable(&why))
        QSKIP(qPrintable(why));

    QTemporaryDir shared(QStringLiteral("/tmp/adrelio-settings-XXXXXX"));
    const QString tool = toolIn(shared);
    QVERIFY(!tool.isEmpty());
    const QString folder = shared.filePath(QStringLiteral("profile"));
    QVERIFY(QDir().mkdir(folder));
    const QString profile = folder + QStringLiteral("/Adrelio.INI");

    const QByteArray before("; written by hand\n[S]\nk=old\n");
    writeFile(profile, before);
    QVERIFY(QFile::setPermissions(profile, filePermissions));
    QVERIFY(QFile::setPermissions(folder, folderPermissions));

    const ProgramRun get = runAsNobody(tool, { "get", profile, "S", "k", "d" });
    QCOMPARE(get.exitCode, 0);
    QCOMPARE(get.output + get.errors, readByNobody);

    const ProgramRun set = runAsNobody(tool, { "set", profile, "S", "k", "new" });
    QCOMPARE(set.exitCode, 1);
    QCOMPARE(QString::fromUtf8(set.output + set.errors),
             QStringLiteral("Impossible d'écrire dans ") + profile);
    QCOMPARE(readFile(profile), before);
    QCOMPARE(QDir(folder).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
             QStringList("Adrelio.INI"));
}

void TestProfile::symbolicLinkIsWrittenThrough()
{
    QVERIFY(QDir(m_dir->path()).mkdir("real"));
    const QString target = m_dir->filePath("real/target.ini");
    writeFile(target, "[S]\nk=1\n");
    QVERIFY(QFile::link(target, m_profile));

    QCOMPARE(Profile(m_profile).value("S", "k", QString()), QString("1"));
    Profile(m_profile).setValue("S", "k", "2");
    QVERIFY(QFileInfo(m_profile).isSymLink());
    QCOMPARE(readFile(target), QByteArray("[S]\nk=2\n"));
}

void TestProfile::permissionsAreKept()
{
    writeFile(m_profile, "[S]\nk=1\n");
    const QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
    QVERIFY(QFile::setPermissions(m_profile, permissions));
    Profile(m_profile).setValue("S", "k", "2");
    QCOMPARE(QFile::permissions(m_profile) & ~QFile::Permissions(QFile::ReadUser | QFile::WriteUser),
             permissions);
}

void TestProfile::namesForExecutable_data()
{
    QTest::addColumn<QString>("executable");
    QTest::addColumn<QString>("beside");
    QTest::addColumn<QString>("inConfigFolder");

    QTest::newRow("no extension")
            << "/absent/outils/Adrelio" << "/absent/outils/Adrelio.INI" << "/config/Adrelio.INI";
    QTest::newRow("extension replaced") << "/absent/outils/Adrelio.exe"
                                        << "/absent/outils/Adrelio.INI" << "/config/Adrelio.INI";
    QTest::newRow("last extension only")
            << "/absent/Outil.Test.exe" << "/absent/Outil.Test.INI" << "/config/Outil.Test.INI";
    QTest::newRow("dot in a folder name")
            << "/absent/v1.2/adrelio" << "/absent/v1.2/adrelio.INI" << "/config/adrelio.INI";
    QTest::newRow("hidden file")
            << "/absent/.adrelio" << "/absent/.adrelio.INI" << "/config/.adrelio.INI";
    QTest::newRow("unknown executable") << "" << "" << "";
}

// Folders that do not exist cannot be written: the profile goes to the config folder,
// under the name it has beside the executable, which gives its defaults.
void TestProfile::namesForExecutable()
{
    QFETCH(QString, executable);
    QFETCH(QString, beside);
    QFETCH(QString, inConfigFolder);

    const Profile profile = Profile::forExecutable(executable, QStringLiteral("/config"));
    QCOMPARE(profile.fileName(), inConfigFolder);
    QCOMPARE(profile.defaultsFileName(), beside);
}

void TestProfile::defaultProfileBesideExecutable()
{
    const QString expected = QCoreApplication::applicationDirPath() + "/tst_profile.INI";
    QCOMPARE(Profile().fileName(), expected);
    QCOMPARE(Profile().defaultsFileName(), QString());

    QFile::remove(expected);
    QCOMPARE(Profile().value("FICHIER", "IMPORT", "none"), QString("none"));
    Profile().setValue("FICHIER", "IMPORT", "/tmp/liste.txt");
    const QByteArray written = readFile(expected);
    QFile::remove(expected);
    QCOMPARE(written, QByteArray("[FICHIER]\nIMPORT=/tmp/liste.txt\n"));
}

void TestProfile::placeOfProfile_data()
{
    QTest::addColumn<ExecutableFolder>("folder");
    QTest::addColumn<QByteArray>("beside");
    QTest::addColumn<QByteArray>("userFile");
    QTest::addColumn<Place>("written");
    // What reads give before the write: an entry of both files, and one of the defaults'
    // only.
    QTest::addColumn<QString>("shared");
    QTest::addColumn<QString>("defaultsOnly");
    QTest::addColumn<QByteArray>("after");

    const QByteArray admin("; réglages de l'administrateur\n[S]\nk=admin\nd=1\n");
    const QByteArray adminAfter("; réglages de l'administrateur\n[S]\nk=new\nd=1\n");
    const QByteArray own("[S]\nk=user\n");
    const QByteArray ownAfter("[S]\nk=new\n");
    const QByteArray none;
    const QString unset = QStringLiteral("none");

    QTest::newRow("writable folder") << ExecutableFolder::Writable << admin << none
                                     << Place::Beside << "admin" << "1" << adminAfter;
    QTest::newRow("writable folder, a user file is not read")
            << ExecutableFolder::Writable << admin << own << Place::Beside << "admin" << "1"
            << adminAfter;
    QTest::newRow("read-only folder, first start")
            << ExecutableFolder::ReadOnly << none << none << Place::ConfigFolder << unset << unset
            << ownAfter;
    QTest::newRow("read-only folder, administrator's defaults")
            << ExecutableFolder::ReadOnly << admin << none << Place::ConfigFolder << "admin" << "1"
            << adminAfter;
    QTest::newRow("read-only folder, user file and defaults")
            << ExecutableFolder::ReadOnly << admin << own << Place::ConfigFolder << "user" << unset
            << ownAfter;
    QTest::newRow("read-only folder, config folder cannot be made")
            << ExecutableFolder::ReadOnly << admin << none << Place::Nowhere << "admin" << "1"
            << none;
}

// An executable whose folder may be written keeps its profile beside it; one in a folder
// it cannot write keeps it in the user's config folder, which is made when first written.
// Until that file exists the profile beside the executable gives the entries, and the
// first write starts from them; that one is never written. Root may write every folder,
// so the profile is used by an unprivileged user.
void TestProfile::placeOfProfile()
{
    QFETCH(ExecutableFolder, folder);
    QFETCH(QByteArray, beside);
    QFETCH(QByteArray, userFile);
    QFETCH(Place, written);
    QFETCH(QString, shared);
    QFETCH(QString, defaultsOnly);
    QFETCH(QByteArray, after);

    QString why;
    if (!canRunUnprivileged(&why))
        QSKIP(qPrintable(why));
    QTemporaryDir sharedFolder(QStringLiteral("/tmp/adrelio-settings-XXXXXX"));
    const QString tool = toolIn(sharedFolder);
    QVERIFY(!tool.isEmpty());
    const QString programFolder = sharedFolder.filePath(QStringLiteral("programme"));
    const QString home = sharedFolder.filePath(QStringLiteral("home"));
    QVERIFY(QDir().mkdir(programFolder));
    QVERIFY(QDir().mkdir(home));
    const auto restore = qScopeGuard([&] {
        QFile::setPermissions(programFolder, openToAll);
        QFile::setPermissions(home, openToAll);
    });

    const QString executable = writeFile(programFolder, QStringLiteral("Adrelio"), "");
    const QString besideFile = programFolder + QStringLiteral("/Adrelio.INI");
    const QString configFolder = home + QStringLiteral("/.config/Adrelio");
    const QString userFileName = configFolder + QStringLiteral("/Adrelio.INI");
    if (!beside.isNull()) {
        writeFile(besideFile, beside);
        QVERIFY(QFile::setPermissions(besideFile, QFileDevice::Permissions(0x6666)));
    }
    if (!userFile.isNull()) {
        QVERIFY(QDir().mkpath(configFolder));
        writeFile(userFileName, userFile);
        const QStringList made{ home + QStringLiteral("/.config"), configFolder, userFileName };
        for (const QString &path : made)
            QVERIFY(giveToUnprivilegedUser(path));
    }
    if (written == Place::Nowhere)
        QVERIFY(QFile::setPermissions(home, QFileDevice::Permissions(0x5555)));
    else
        QVERIFY(giveToUnprivilegedUser(home));
    QVERIFY(QFile::setPermissions(programFolder, folder == ExecutableFolder::Writable
                                          ? QFileDevice::Permissions(0x7777)
                                          : QFileDevice::Permissions(0x5555)));
    const QStringList programEntries = entriesOf(programFolder);

    const QStringList profile{ QStringLiteral("--executable"), executable, configFolder };
    const auto runTool = [&](const QString &command, const QStringList &arguments) {
        return runUnprivileged(tool, QStringList{ command } + profile + arguments);
    };
    const auto read = [&](const QString &key) {
        const ProgramRun get = runTool(QStringLiteral("get"), { "S", key, "none" });
        return QString::fromUtf8(get.output + get.errors);
    };
    const ProgramRun where = runTool(QStringLiteral("where"), {});
    QCOMPARE(where.exitCode, 0);
    QCOMPARE(QString::fromUtf8(where.output), folder == ExecutableFolder::Writable
                     ? besideFile + QStringLiteral("\n\n")
                     : userFileName + u'\n' + besideFile + u'\n');
    QCOMPARE(read(QStringLiteral("k")), shared);
    QCOMPARE(read(QStringLiteral("d")), defaultsOnly);

    const ProgramRun write = runTool(QStringLiteral("set"), { "S", "k", "new" });
    switch (written) {
    case Place::Beside:
        QCOMPARE(write.exitCode, 0);
        QCOMPARE(readFile(besideFile), after);
        if (userFile.isNull())
            QCOMPARE(entriesOf(home), QStringList());
        else
            QCOMPARE(readFile(userFileName), userFile);
        break;
    case Place::ConfigFolder:
        QCOMPARE(write.exitCode, 0);
        QCOMPARE(readFile(userFileName), after);
        QCOMPARE(readFile(besideFile), beside.isNull() ? QByteArray("(unreadable)") : beside);
        QCOMPARE(entriesOf(programFolder), programEntries);
        if (userFile.isNull()) {
            QCOMPARE(modeOf(home + QStringLiteral("/.config")), ownerOnly);
            QCOMPARE(modeOf(configFolder), ownerOnly);
        }
        break;
    case Place::Nowhere:
        QCOMPARE(write.exitCode, 1);
        QCOMPARE(QString::fromUtf8(write.output + write.errors),
                 QStringLiteral("Impossible d'écrire dans ") + userFileName);
        QCOMPARE(readFile(besideFile), beside);
        QCOMPARE(entriesOf(home), QStringList());
        break;
    }
}

// Whatever the application's and organisation's names, the program's folder is Adrelio.
void TestProfile::userConfigFolderIsNamedForTheProgram()
{
    const QByteArray configHome = qgetenv("XDG_CONFIG_HOME");
    const auto restore = qScopeGuard([&] {
        QCoreApplication::setOrganizationName(QString());
        QCoreApplication::setApplicationName(QString());
        if (configHome.isNull())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", configHome);
    });
    QCoreApplication::setOrganizationName(QStringLiteral("Orvalin"));
    QCoreApplication::setApplicationName(QStringLiteral("Outil"));

    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir->path()));
    QCOMPARE(Profile::userConfigFolder(), m_dir->path() + QStringLiteral("/Adrelio"));
    qunsetenv("XDG_CONFIG_HOME");
    QCOMPARE(Profile::userConfigFolder(), QDir::homePath() + QStringLiteral("/.config/Adrelio"));
}

QTEST_GUILESS_MAIN(TestProfile)
#include "tst_profile.moc"
