#include "support/testsupport.h"
#include "base/adrelioerror.h"
#include "worklist/textfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

Q_DECLARE_METATYPE(TextEncoding)

// The file that a save replaces.
enum class Replaced {
    HardLinked,
    HardLinkedOnFullDisk,
    OthersFileSavedByRoot,
    RootsFileSavedByOther,
};
Q_DECLARE_METATYPE(Replaced)

class TestTextFile : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void load_data();
    void load();
    void save_data();
    void save();
    void roundTrip_data();
    void roundTrip();
    void largeTextCrossesChunks_data();
    void largeTextCrossesChunks();
    void loadErrors_data();
    void loadErrors();
    void cancelledLoad();
    void saveErrors_data();
    void saveErrors();
    void deniedForUser();
    void failedWriteKeepsOldFile();
    void cancelledSaveKeepsOldFile();
    void saveKeepsLinkAndPermissions();
    void saveKeepsTheFile_data();
    void saveKeepsTheFile();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }

    std::unique_ptr<QTemporaryDir> m_dir;
};

namespace {

// Runs work in a forked child; returns its exit status, or -1 when it died.
int runInChild(const std::function<int()> &work)
{
    const pid_t pid = fork();
    if (pid == 0)
        _exit(work());
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

QString bigText(qsizetype lines)
{
    QString text;
    for (qsizetype i = 0; i < lines; ++i)
        text += QStringLiteral("ligne %1 adresse@exemple.fr\r\n").arg(i);
    return text;
}

} // namespace

void TestTextFile::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestTextFile::cleanup()
{
    QDir::setCurrent(QDir::tempPath());
    m_dir.reset();
}

void TestTextFile::load_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<TextEncoding>("encoding");
    QTest::addColumn<QString>("text");

    const QString replacement(QChar::ReplacementCharacter);

    QTest::newRow("empty") << QByteArray() << TextEncoding::System << QString();
    QTest::newRow("LF") << QByteArray("a\nb\n") << TextEncoding::System << "a\nb\n";
    QTest::newRow("CR LF") << QByteArray("a\r\nb") << TextEncoding::System << "a\nb";
    QTest::newRow("lone CR") << QByteArray("a\rb\r") << TextEncoding::System << "a\nb\n";
    QTest::newRow("LF CR") << QByteArray("a\n\rb") << TextEncoding::System << "a\n\nb";
    QTest::newRow("CR CR LF") << QByteArray("a\r\r\nb") << TextEncoding::System << "a\n\nb";
    QTest::newRow("NUL becomes a space")
            << QByteArray("a\0\0b\r\n\0", 7) << TextEncoding::System << "a  b\n ";
    QTest::newRow("system encoding is UTF-8")
            << QByteArray("d\xC3\xA9j\xC3\xA0") << TextEncoding::System << "déjà";
    QTest::newRow("ASCII") << QByteArray("a@b.fr, c@d.fr\n") << TextEncoding::System
                           << "a@b.fr, c@d.fr\n";
    // Bytes without a mark that are not UTF-8 come from a Windows program: every byte is
    // a character of Windows-1252.
    QTest::newRow("Windows-1252")
            << QByteArray("Andr\xE9 <andr\xE9@ex.fr> \x9C\x80 \x81\x8D\x8F\x90\x9D")
            << TextEncoding::Windows1252
            << QString::fromUtf16(u"André <andré@ex.fr> œ€ \u0081\u008D\u008F\u0090\u009D");
    // A UTF-8 file with one Windows-1252 byte pasted in keeps its UTF-8 characters.
    QTest::newRow("UTF-8 and Windows-1252 mixed")
            << QByteArray("d\xC3\xA9j\xC3\xA0 caf\xE9\r\n") << TextEncoding::Windows1252
            << QString::fromUtf16(u"déjà café\n");
    QTest::newRow("mixed: UTF-8 address beside a Windows-1252 one")
            << QByteArray("fran\xC3\xA7ois@soci\xC3\xA9t\xC3\xA9.fr \xE9lodie@exemple.fr")
            << TextEncoding::Windows1252
            << QString::fromUtf16(u"françois@société.fr élodie@exemple.fr");
    QTest::newRow("mixed: overlong, surrogate and cut sequences are Windows-1252")
            << QByteArray("\xC0\xAF \xED\xA0\x80 \xF0\x9F\x98\x80 \xE2\x82")
            << TextEncoding::Windows1252
            << QString::fromUtf16(u"À¯ í\u00A0€ 😀 â‚");
    QTest::newRow("one byte FF has no mark")
            << QByteArray("\xFF") << TextEncoding::Windows1252 << QString::fromUtf16(u"ÿ");
    QTest::newRow("cut UTF-8 mark is no mark")
            << QByteArray("\xEF\xBB") << TextEncoding::Windows1252 << QString::fromUtf16(u"ï»");
    QTest::newRow("UTF-8 cut at the end")
            << QByteArray("a\xC3") << TextEncoding::Windows1252 << QString::fromUtf16(u"aÃ");
    QTest::newRow("UTF-16 without mark")
            << QByteArray("a\0b\0", 4) << TextEncoding::System << "a b ";

    QTest::newRow("UTF-8 mark only") << QByteArray("\xEF\xBB\xBF") << TextEncoding::Utf8 << QString();
    QTest::newRow("UTF-8") << QByteArray("\xEF\xBB\xBF\xC3\xA9\r\n") << TextEncoding::Utf8 << "é\n";
    QTest::newRow("ill-formed UTF-8 after the mark")
            << QByteArray("\xEF\xBB\xBF" "a\xFF" "b\r\nc") << TextEncoding::Utf8
            << "a" + replacement + "b\nc";
    QTest::newRow("second UTF-8 mark is text")
            << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBFx") << TextEncoding::Utf8
            << QString(QChar::ByteOrderMark) + "x";

    QTest::newRow("UTF-16 LE mark only") << QByteArray("\xFF\xFE") << TextEncoding::Utf16LittleEndian << QString();
    QTest::newRow("UTF-16 LE") << QByteArray("\xFF\xFE" "a\0\xE9\0\r\0\n\0b\0", 12)
                               << TextEncoding::Utf16LittleEndian << "aé\nb";
    QTest::newRow("UTF-16 LE odd final byte")
            << QByteArray("\xFF\xFE" "a\0b", 5) << TextEncoding::Utf16LittleEndian << "a";
    QTest::newRow("UTF-16 LE starting with NUL")
            << QByteArray("\xFF\xFE\0\0x\0", 6) << TextEncoding::Utf16LittleEndian << " x";
    QTest::newRow("UTF-16 LE lone surrogate")
            << QByteArray("\xFF\xFE\x00\xD8x\0", 6) << TextEncoding::Utf16LittleEndian
            << QString(QChar(0xD800)) + "x";
    QTest::newRow("UTF-16 BE mark only") << QByteArray("\xFE\xFF") << TextEncoding::Utf16BigEndian
                                         << QString();
    QTest::newRow("UTF-16 BE") << QByteArray("\xFE\xFF\0a\0\xE9\0\r\0b\0\n", 12)
                               << TextEncoding::Utf16BigEndian << "aé\nb\n";
}

void TestTextFile::load()
{
    QFETCH(QByteArray, bytes);
    QFETCH(TextEncoding, encoding);
    QFETCH(QString, text);

    writeFile(m_dir->path(), QStringLiteral("in.txt"), bytes);
    const RawTextFile file = readTextFile(path(QStringLiteral("in.txt")));
    QCOMPARE(file.encoding, encoding);
    QCOMPARE(file.bytes, bytes);
    QCOMPARE(decodeText(file), text);

    const RawTextFile fromBytes = rawTextFromBytes(bytes);
    QCOMPARE(fromBytes.encoding, encoding);
    QCOMPARE(decodeText(fromBytes), text);
    QCOMPARE(decodeParagraphs(fromBytes), text.split(u'\n'));
}

void TestTextFile::save_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<TextEncoding>("encoding");
    QTest::addColumn<QByteArray>("bytes");

    const QString text = QStringLiteral("a\r\né\r\n");
    const QString emoji = QStringLiteral("\U0001F600");
    QTest::newRow("system encoding has the UTF-8 mark")
            << text << TextEncoding::System << QByteArray("\xEF\xBB\xBF" "a\r\n\xC3\xA9\r\n");
    QTest::newRow("UTF-8") << text << TextEncoding::Utf8
                           << QByteArray("\xEF\xBB\xBF" "a\r\n\xC3\xA9\r\n");
    QTest::newRow("UTF-8 outside the BMP") << emoji << TextEncoding::Utf8
                                           << QByteArray("\xEF\xBB\xBF\xF0\x9F\x98\x80");
    QTest::newRow("UTF-16 LE") << text << TextEncoding::Utf16LittleEndian
                               << QByteArray("\xFF\xFE" "a\0\r\0\n\0\xE9\0\r\0\n\0", 14);
    QTest::newRow("UTF-16 BE") << text << TextEncoding::Utf16BigEndian
                               << QByteArray("\xFE\xFF\0a\0\r\0\n\0\xE9\0\r\0\n", 14);
    QTest::newRow("UTF-16 BE outside the BMP") << emoji << TextEncoding::Utf16BigEndian
                                               << QByteArray("\xFE\xFF\xD8\x3D\xDE\x00", 6);
    QTest::newRow("empty, system encoding") << QString() << TextEncoding::System
                                            << QByteArray("\xEF\xBB\xBF");
    QTest::newRow("empty, UTF-16 LE") << QString() << TextEncoding::Utf16LittleEndian
                                      << QByteArray("\xFF\xFE");
}

void TestTextFile::save()
{
    QFETCH(QString, text);
    QFETCH(TextEncoding, encoding);
    QFETCH(QByteArray, bytes);

    writeFile(m_dir->path(), QStringLiteral("out.txt"),
              QByteArray("previous contents, longer than the new"));
    writeTextFile(path(QStringLiteral("out.txt")), text, encoding);
    QCOMPARE(readFile(path(QStringLiteral("out.txt"))), bytes);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList{QStringLiteral("out.txt")});
}

void TestTextFile::roundTrip_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("saved");

    const QByteArray utf8("\xEF\xBB\xBF" "x@y.fr\r\n\xC3\xA9\r\n");
    const QByteArray utf16Le("\xFF\xFE" "@\0\r\0\n\0", 8);
    const QByteArray utf16Be("\xFE\xFF\0@\0\r\0\n", 8);
    QTest::newRow("UTF-8") << utf8 << utf8;
    QTest::newRow("UTF-16 LE") << utf16Le << utf16Le;
    QTest::newRow("UTF-16 BE") << utf16Be << utf16Be;
    QTest::newRow("UTF-8 mark only") << QByteArray("\xEF\xBB\xBF") << QByteArray("\xEF\xBB\xBF");
    QTest::newRow("UTF-16 BE mark only") << QByteArray("\xFE\xFF") << QByteArray("\xFE\xFF");
    QTest::newRow("system encoding gains the mark")
            << QByteArray("a\r\nb\r\n") << QByteArray("\xEF\xBB\xBF" "a\r\nb\r\n");
    QTest::newRow("LF and CR become CR LF")
            << QByteArray("\xEF\xBB\xBF" "a\nb\rc\r\n") << QByteArray("\xEF\xBB\xBF" "a\r\nb\r\nc\r\n");
    QTest::newRow("empty file") << QByteArray() << QByteArray("\xEF\xBB\xBF");
}

void TestTextFile::roundTrip()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, saved);

    // The list holds the text with '\n' breaks and saves it with CR LF breaks in the
    // encoding it was loaded with.
    writeFile(m_dir->path(), QStringLiteral("in.txt"), bytes);
    const RawTextFile file = readTextFile(path(QStringLiteral("in.txt")));
    const QString text = decodeText(file).replace(u'\n', QLatin1String("\r\n"));
    writeTextFile(path(QStringLiteral("out.txt")), text, file.encoding);
    QCOMPARE(readFile(path(QStringLiteral("out.txt"))), saved);
}

void TestTextFile::largeTextCrossesChunks_data()
{
    QTest::addColumn<TextEncoding>("encoding");
    QTest::newRow("UTF-8") << TextEncoding::Utf8;
    QTest::newRow("UTF-16 LE") << TextEncoding::Utf16LittleEndian;
    QTest::newRow("UTF-16 BE") << TextEncoding::Utf16BigEndian;
}

// Several megabytes, with a surrogate pair astride every place a chunk might end.
void TestTextFile::largeTextCrossesChunks()
{
    QFETCH(TextEncoding, encoding);

    QString text = bigText(200000);
    const QString emoji = QStringLiteral("\U0001F600");
    for (qsizetype at = 1023; at < text.size(); at += 1024)
        text.replace(at, 2, emoji);
    const QString fileName = path(QStringLiteral("big.txt"));
    qint64 lastDone = 0;
    writeTextFile(fileName, text, encoding, [&](qint64 done, qint64 total) {
        lastDone = done;
        return done <= total;
    });
    QCOMPARE(lastDone, qint64(text.size()));

    const RawTextFile file = readTextFile(fileName);
    QCOMPARE(file.encoding, encoding);
    QString expected = text;
    expected.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    QVERIFY(decodeText(file) == expected);
}

void TestTextFile::loadErrors_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("error");

    QTest::newRow("missing file") << "missing.txt" << ENOENT;
    QTest::newRow("missing folder") << "nowhere/a.txt" << ENOENT;
    QTest::newRow("folder") << "folder" << EISDIR;
    QTest::newRow("FIFO") << "fifo" << EINVAL;
    QTest::newRow("device") << "/dev/null" << EINVAL;
    QTest::newRow("2 GiB") << "huge.txt" << EFBIG;
}

void TestTextFile::loadErrors()
{
    QFETCH(QString, name);
    QFETCH(int, error);

    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("folder")));
    QCOMPARE(mkfifo(QFile::encodeName(path(QStringLiteral("fifo"))).constData(), 0644), 0);
    QFile huge(path(QStringLiteral("huge.txt")));
    QVERIFY(huge.open(QIODevice::WriteOnly));
    QVERIFY(huge.resize(qint64(1) << 31));
    huge.close();

    // A relative name is shown made absolute against the current directory.
    QVERIFY(QDir::setCurrent(path(QStringLiteral("folder"))));
    const QString relative = name.startsWith(QLatin1Char('/')) ? name : "../" + name;
    const QString fullName = name.startsWith(QLatin1Char('/')) ? name : path(name);

    QCOMPARE(errorOf([&] { readTextFile(relative); }), openErrorText(fullName, error));
}

void TestTextFile::cancelledLoad()
{
    const QString big = writeFile(m_dir->path(), QStringLiteral("big.txt"),
                                  "\xEF\xBB\xBF" + QByteArray(12 * 1024 * 1024, 'x'));
    qint64 lastDone = 0;
    QVERIFY_THROWS_EXCEPTION(OperationCancelled, readTextFile(big, [&](qint64 done, qint64 total) {
        lastDone = done;
        return done < total / 2;
    }));
    QVERIFY(lastDone > 0);
}

void TestTextFile::saveErrors_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("error");

    QTest::newRow("missing folder") << "nowhere/out.txt" << ENOENT;
    QTest::newRow("folder is a file") << "file.txt/out.txt" << ENOTDIR;
    QTest::newRow("target is a folder") << "folder" << EISDIR;
    QTest::newRow("target is a FIFO") << "fifo" << EINVAL;
}

void TestTextFile::saveErrors()
{
    QFETCH(QString, name);
    QFETCH(int, error);

    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("folder")));
    QCOMPARE(mkfifo(QFile::encodeName(path(QStringLiteral("fifo"))).constData(), 0644), 0);
    writeFile(m_dir->path(), QStringLiteral("file.txt"), "old");
    QVERIFY(QDir::setCurrent(m_dir->path()));

    QCOMPARE(errorOf([&] { writeTextFile(name, u"new\r\n", TextEncoding::System); }),
             createErrorText(path(name), error));
    QCOMPARE(readFile(path(QStringLiteral("file.txt"))), QByteArray("old"));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System),
             (QStringList{QStringLiteral("fifo"), QStringLiteral("file.txt"), QStringLiteral("folder")}));
}

// A file this user may not write is refused before anything is written, although the
// folder would let a new file be renamed over it; a file this user may not read gives the
// open error. Root may do both, so the checks run as the user nobody.
void TestTextFile::deniedForUser()
{
    const QString folder = path(QStringLiteral("shared"));
    QVERIFY(QDir().mkdir(folder));
    QVERIFY(QFile::setPermissions(folder, QFileDevice::Permissions(0x7777)));
    QVERIFY(QFile::setPermissions(m_dir->path(), QFileDevice::Permissions(0x7755)));
    const QString target = folder + QStringLiteral("/target.txt");
    const QString secret = folder + QStringLiteral("/secret.txt");
    writeFile(m_dir->path(), QStringLiteral("shared/target.txt"), "old");
    writeFile(m_dir->path(), QStringLiteral("shared/secret.txt"), "secret");
    QVERIFY(QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::ReadGroup
                                                  | QFileDevice::ReadOther));
    QVERIFY(QFile::setPermissions(secret, QFileDevice::ReadOwner | QFileDevice::WriteOwner));

    auto check = [&]() -> int {
        if (errorOf([&] { writeTextFile(target, u"new\r\n", TextEncoding::System); })
            != createErrorText(target, EACCES))
            return 1;
        if (errorOf([&] { readTextFile(secret); }) != openErrorText(secret, EACCES))
            return 2;
        return 0;
    };

    if (geteuid() == 0) {
        const passwd *nobody = getpwnam("nobody");
        if (!nobody)
            QSKIP("running as root and there is no user nobody to drop to");
        const uid_t uid = nobody->pw_uid;
        const gid_t gid = nobody->pw_gid;
        QCOMPARE(runInChild([&] {
            if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0)
                return 99;
            return check();
        }), 0);
    } else {
        QCOMPARE(check(), 0);
    }
    QCOMPARE(readFile(path(QStringLiteral("shared/target.txt"))), QByteArray("old"));
    QCOMPARE(QDir(folder).entryList(QDir::Files),
             (QStringList{QStringLiteral("secret.txt"), QStringLiteral("target.txt")}));
}

// The file size limit makes the writes fail part-way, as a full disk does.
void TestTextFile::failedWriteKeepsOldFile()
{
    const QByteArray old("old contents\r\n");
    writeFile(m_dir->path(), QStringLiteral("out.txt"), old);
    const QString target = path(QStringLiteral("out.txt"));
    const QString text = bigText(100000);

    QCOMPARE(runInChild([&] {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{64 * 1024, 64 * 1024};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return 99;
        const QString message = errorOf([&] {
            writeTextFile(target, text, TextEncoding::Utf8);
        });
        return message == QStringLiteral("Erreur d'écriture dans le flux") ? 0 : 1;
    }), 0);
    QCOMPARE(readFile(path(QStringLiteral("out.txt"))), old);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList{QStringLiteral("out.txt")});
}

void TestTextFile::cancelledSaveKeepsOldFile()
{
    const QByteArray old("old contents\r\n");
    writeFile(m_dir->path(), QStringLiteral("out.txt"), old);
    int calls = 0;
    QVERIFY_THROWS_EXCEPTION(OperationCancelled,
                             writeTextFile(path(QStringLiteral("out.txt")), bigText(400000),
                                           TextEncoding::Utf16LittleEndian,
                                           [&](qint64, qint64) { return ++calls < 2; }));
    QCOMPARE(readFile(path(QStringLiteral("out.txt"))), old);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList{QStringLiteral("out.txt")});
}

void TestTextFile::saveKeepsLinkAndPermissions()
{
    writeFile(m_dir->path(), QStringLiteral("real.txt"), "old");
    const QFileDevice::Permissions permissions = QFileDevice::ReadOwner | QFileDevice::WriteOwner
            | QFileDevice::ReadGroup;
    QVERIFY(QFile::setPermissions(path(QStringLiteral("real.txt")), permissions));
    QVERIFY(QFile::link(path(QStringLiteral("real.txt")), path(QStringLiteral("link.txt"))));
    const QFileDevice::Permissions before = QFile::permissions(path(QStringLiteral("real.txt")));

    writeTextFile(path(QStringLiteral("link.txt")), u"new\r\n", TextEncoding::Utf8);
    const QFileInfo link(path(QStringLiteral("link.txt")));
    QVERIFY(link.isSymLink());
    QCOMPARE(link.symLinkTarget(), path(QStringLiteral("real.txt")));
    QCOMPARE(readFile(path(QStringLiteral("real.txt"))), QByteArray("\xEF\xBB\xBF" "new\r\n"));
    QCOMPARE(QFile::permissions(path(QStringLiteral("real.txt"))), before);
}

void TestTextFile::saveKeepsTheFile_data()
{
    QTest::addColumn<Replaced>("replaced");

    QTest::newRow("a file with a second hard link") << Replaced::HardLinked;
    QTest::newRow("a file with a second hard link, on a full disk")
            << Replaced::HardLinkedOnFullDisk;
    QTest::newRow("a file of nobody, saved by root") << Replaced::OthersFileSavedByRoot;
    QTest::newRow("a file of root, saved by nobody") << Replaced::RootsFileSavedByOther;
}

// A save keeps the file it replaces: its other hard links see the new text, and its owner
// and group stay, given to the new file when the process may give them, and otherwise
// kept by rewriting the file in place. A rewrite that fails leaves the old text under every
// name. Nothing is left beside the file.
void TestTextFile::saveKeepsTheFile()
{
    QFETCH(Replaced, replaced);

    const passwd *nobody = getpwnam("nobody");
    const bool otherUser = replaced == Replaced::OthersFileSavedByRoot
            || replaced == Replaced::RootsFileSavedByOther;
    if (otherUser && (geteuid() != 0 || !nobody))
        QSKIP("a file of another user needs the tests to run as root, with a user nobody");
    const QString folder = path(QStringLiteral("shared"));
    QVERIFY(QDir().mkdir(folder));
    QVERIFY(QFile::setPermissions(folder, QFileDevice::Permissions(0x7777)));
    QVERIFY(QFile::setPermissions(m_dir->path(), QFileDevice::Permissions(0x7755)));
    const QByteArray old("ancienne liste\r\n");
    const QString target = writeFile(folder, QStringLiteral("liste.txt"), old);
    const QByteArray targetPath = QFile::encodeName(target);
    QStringList names{ QStringLiteral("liste.txt") };
    if (replaced == Replaced::HardLinked || replaced == Replaced::HardLinkedOnFullDisk) {
        const QByteArray other = QFile::encodeName(folder + QStringLiteral("/autre.txt"));
        QVERIFY(::link(targetPath.constData(), other.constData()) == 0);
        names.prepend(QStringLiteral("autre.txt"));
    }
    const mode_t mode = replaced == Replaced::RootsFileSavedByOther ? 0666 : 0640;
    QVERIFY(::chmod(targetPath.constData(), mode) == 0);
    if (replaced == Replaced::OthersFileSavedByRoot)
        QVERIFY(::chown(targetPath.constData(), nobody->pw_uid, nobody->pw_gid) == 0);
    struct stat before;
    QVERIFY(::stat(targetPath.constData(), &before) == 0);

    const QString text = bigText(1000);
    const auto save = [&] {
        return errorOf([&] { writeTextFile(target, text, TextEncoding::Utf8); });
    };
    const QByteArray saved = "\xEF\xBB\xBF" + text.toUtf8();
    QByteArray expected = saved;
    switch (replaced) {
    case Replaced::HardLinked:
    case Replaced::OthersFileSavedByRoot:
        QCOMPARE(save(), QString());
        break;
    case Replaced::HardLinkedOnFullDisk:
        expected = old;
        QCOMPARE(runInChild([&] {
            signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{ 1024, 1024 };
            if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
                return 99;
            return save() == QStringLiteral("Erreur d'écriture dans le flux") ? 0 : 1;
        }), 0);
        break;
    case Replaced::RootsFileSavedByOther:
        QCOMPARE(runInChild([&] {
            if (setgroups(0, nullptr) != 0 || setgid(nobody->pw_gid) != 0
                || setuid(nobody->pw_uid) != 0)
                return 99;
            return save().isEmpty() ? 0 : 1;
        }), 0);
        break;
    }

    struct stat after;
    QVERIFY(::stat(targetPath.constData(), &after) == 0);
    for (const QString &name : std::as_const(names))
        QVERIFY(readFile(folder + u'/' + name) == expected);
    QCOMPARE(after.st_uid, before.st_uid);
    QCOMPARE(after.st_gid, before.st_gid);
    QCOMPARE(after.st_mode, before.st_mode);
    QCOMPARE(after.st_nlink, before.st_nlink);
    names.sort();
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), names);
}

QTEST_GUILESS_MAIN(TestTextFile)
#include "tst_textfile.moc"
