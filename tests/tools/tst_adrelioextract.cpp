#include "base/fileerrors.h"
#include "support/cleaningexamples.h"
#include "support/plainpaths.h"
#include "support/documentfiles.h"
#include "support/testsupport.h"
#include "worklist/textfile.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

using namespace Qt::Literals::StringLiterals;

// adrelio-extract run as its users run it, with LC_ALL=C so that the system's reasons in
// its messages are predictable.
class TestAdrelioExtract : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void encodings_data();
    void encodings();
    void standardInput_data();
    void standardInput();
    void streams_data();
    void streams();
    void fifoIsReadAsItIsWritten();
    void sparseFileOfThreeGigabytes();
    void severalFilesInOrder();
    void unreadableFileIsSkipped_data();
    void unreadableFileIsSkipped();
    void sort();
    void options_data();
    void options();
    void cleaningExamples_data();
    void cleaningExamples();
    void help();
    void unknownOption();
    void endOfOptions();
    void writeFailure();
    void helpWriteFailure();
    void version();
    void documents_data();
    void documents();
    void badDocuments_data();
    void badDocuments();
    void documentStreams_data();
    void documentStreams();
    void folderInNameOrder();
    void hugeSingleLine();
    void outOfMemory_data();
    void outOfMemory();

private:
    struct Result
    {
        int exitCode = -1;
        QByteArray out;
        QByteArray err;
    };

    Result run(const QStringList &arguments, const QByteArray &input = {},
               const QString &outputFile = {});
    // Runs the tool with its output in a file; peakKb is the largest resident set it had.
    Result runMeasured(const QStringList &arguments, long *peakKb);

    QTemporaryDir m_dir;
};

namespace {

const QString sample = u"Zoé <zoe@exemple.fr>, \"Dupont, Jean\" jean@x.fr\r\n"
                       "à bientôt\rmailto:é@x\n\n\"a b@c\" \u0301 z \u0301@y"_s;
const QByteArray sampleAddresses = "<zoe@exemple.fr>\njean@x.fr\nmailto:\xC3\xA9@x\na b@c\n@y\n";

} // namespace

void TestAdrelioExtract::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(QFile::exists(QStringLiteral(ADRELIO_EXTRACT)));
}

TestAdrelioExtract::Result TestAdrelioExtract::run(const QStringList &arguments,
                                                  const QByteArray &input,
                                                  const QString &outputFile)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    // A PDF whose reading stalls is given up after 3 s instead of 20.
    environment.insert(QStringLiteral("ADRELIO_PDF_STALL_LIMIT_MS"), QStringLiteral("3000"));
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(m_dir.path());
    if (!outputFile.isEmpty())
        process.setStandardOutputFile(outputFile);
    process.start(QStringLiteral(ADRELIO_EXTRACT), arguments);
    if (!process.waitForStarted())
        return {};
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

void TestAdrelioExtract::encodings_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("addresses");

    QTest::newRow("system encoding") << sample.toUtf8() << sampleAddresses;
    QTest::newRow("UTF-8 with mark") << "\xEF\xBB\xBF" + sample.toUtf8() << sampleAddresses;
    QTest::newRow("UTF-16 little-endian") << utf16Bytes(sample, false) << sampleAddresses;
    QTest::newRow("UTF-16 big-endian") << utf16Bytes(sample, true) << sampleAddresses;
    QTest::newRow("UTF-16 odd final byte") << utf16Bytes(u"a@b", false) + "c"
                                           << QByteArray("a@b\n");
    // The units without their mark.
    QTest::newRow("UTF-16 without mark") << utf16Bytes(u"a@b", false).sliced(2)
                                         << QByteArray("@\n");
    // Not UTF-8 and without a mark: Windows-1252, every byte a character.
    QTest::newRow("Windows-1252, no mark") << QByteArray("x\xE9@y \xE2\x82@z \x9C\x80@f")
                                           << QByteArray("x\xC3\xA9@y\n\xC3\xA2\xE2\x80\x9A@z\n"
                                                         "\xC5\x93\xE2\x82\xAC@f\n");
    // UTF-8 with one Windows-1252 byte pasted in: each keeps its own characters.
    QTest::newRow("UTF-8 and Windows-1252 mixed")
            << QByteArray("fran\xC3\xA7ois@soci\xC3\xA9t\xC3\xA9.fr \xE9lodie@exemple.fr")
            << QByteArray("fran\xC3\xA7ois@soci\xC3\xA9t\xC3\xA9.fr\n\xC3\xA9lodie@exemple.fr\n");
    QTest::newRow("ill-formed after mark") << QByteArray("\xEF\xBB\xBFx\xE9@y")
                                           << QByteArray("x\xEF\xBF\xBD@y\n");
    QTest::newRow("NUL is a blank") << QByteArray("a@b\0c@d", 7) << QByteArray("a@b\nc@d\n");
    QTest::newRow("empty") << QByteArray() << QByteArray();
}

void TestAdrelioExtract::encodings()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, addresses);

    const Result result = run({writeFile(m_dir.path(), u"in.txt"_s, bytes)});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.err, QByteArray());
    QCOMPARE(result.out, addresses);
}

void TestAdrelioExtract::standardInput_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("input");

    QTest::newRow("no file") << QStringList() << sample.toUtf8();
    QTest::newRow("dash") << QStringList{"-"} << sample.toUtf8();
    QTest::newRow("dash, UTF-16") << QStringList{"-"} << utf16Bytes(sample, true);
    QTest::newRow("no file, UTF-8 mark") << QStringList() << "\xEF\xBB\xBF" + sample.toUtf8();
}

void TestAdrelioExtract::standardInput()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, input);

    const Result result = run(arguments, input);
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out, sampleAddresses);
}

TestAdrelioExtract::Result TestAdrelioExtract::runMeasured(const QStringList &arguments,
                                                          long *peakKb)
{
    const QByteArray outputPath = QFile::encodeName(m_dir.filePath(u"measured-out.txt"_s));
    QList<QByteArray> argumentBytes{QByteArrayLiteral(ADRELIO_EXTRACT)};
    for (const QString &argument : arguments)
        argumentBytes.append(QFile::encodeName(argument));
    QList<char *> argv;
    for (QByteArray &argument : argumentBytes)
        argv.append(argument.data());
    argv.append(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputPath.constData(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, argv.first(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return {};
    int status = 0;
    struct rusage usage;
    if (::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status))
        return {};
    *peakKb = usage.ru_maxrss;
    return {WEXITSTATUS(status), readFile(QFile::decodeName(outputPath)), {}};
}

void TestAdrelioExtract::streams_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("addresses");

    // bash runs each line with the tool as $0.
    QTest::newRow("character device") << u"\"$0\" /dev/null"_s << QByteArray();
    QTest::newRow("process substitution")
            << u"\"$0\" <(printf 'x y@z\\n\"a b@c\"')"_s << QByteArray("y@z\na b@c\n");
    QTest::newRow("process substitution, UTF-16 mark")
            << u"\"$0\" <(printf '\\377\\376a\\000@\\000b\\000')"_s << QByteArray("a@b\n");
    QTest::newRow("pipe, UTF-8 and Windows-1252 mixed")
            << u"printf '\\351t\\351@x.fr fran\\303\\247ois@soci\\303\\251t\\303\\251.fr' | \"$0\""_s
            << QByteArray("\xC3\xA9t\xC3\xA9@x.fr\nfran\xC3\xA7ois@soci\xC3\xA9t\xC3\xA9.fr\n");
    QTest::newRow("pipe, then a file")
            << u"printf 'p@q' | \"$0\" - /dev/null -"_s << QByteArray("p@q\n");
}

// Anything that can be read is read as it comes: devices, pipes, process substitutions.
void TestAdrelioExtract::streams()
{
    QFETCH(QString, command);
    QFETCH(QByteArray, addresses);

    QProcess process;
    process.setWorkingDirectory(m_dir.path());
    process.start(u"bash"_s, {u"-c"_s, command, QStringLiteral(ADRELIO_EXTRACT)});
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.readAllStandardError(), QByteArray());
    QCOMPARE(process.exitCode(), 0);
    QCOMPARE(process.readAllStandardOutput(), addresses);
}

// A FIFO fed by another process: the addresses of the first lines come out while the
// writer still holds the FIFO open, before it writes the last one.
void TestAdrelioExtract::fifoIsReadAsItIsWritten()
{
    const QString fifo = m_dir.filePath(u"fifo"_s);
    QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);

    QProcess tool;
    tool.start(QStringLiteral(ADRELIO_EXTRACT), {fifo});
    QVERIFY(tool.waitForStarted());
    QProcess writer;
    writer.start(u"sh"_s, {u"-c"_s,
                           u"exec 3>\"$1\"; printf 'Zo\\303\\251 <zoe@exemple.fr>, \"a b@c\"\\n' >&3; "
                           "read line; printf 'fin@exemple.fr\\n' >&3"_s,
                           u"writer"_s, fifo});
    QVERIFY(writer.waitForStarted());

    QByteArray out;
    QDeadlineTimer deadline(30000);
    while (!out.contains("a b@c\n") && !deadline.hasExpired()) {
        tool.waitForReadyRead(100);
        out += tool.readAllStandardOutput();
    }
    QCOMPARE(out, QByteArray("<zoe@exemple.fr>\na b@c\n"));
    QCOMPARE(writer.state(), QProcess::Running);

    writer.write("go\n");
    QVERIFY(writer.waitForFinished(30000));
    QVERIFY(tool.waitForFinished(30000));
    QCOMPARE(tool.exitCode(), 0);
    QCOMPARE(out + tool.readAllStandardOutput(), QByteArray("<zoe@exemple.fr>\na b@c\nfin@exemple.fr\n"));
}

// A file larger than the window takes, all one line of zero bytes (a hole, which costs no
// disk), is read in pieces: the address at its very end is found in bounded memory.
void TestAdrelioExtract::sparseFileOfThreeGigabytes()
{
    const QString path = m_dir.filePath(u"sparse.txt"_s);
    const qint64 holeSize = qint64(3) << 30;
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(holeSize));
        QVERIFY(file.seek(holeSize));
        QVERIFY(file.write(" fin@exemple.fr") > 0);
    }
    struct stat status;
    QVERIFY(::stat(QFile::encodeName(path).constData(), &status) == 0);
    if (qint64(status.st_blocks) * 512 >= holeSize)
        QSKIP("this file system stores holes as data");

    long peakKb = 0;
    const Result result = runMeasured({path}, &peakKb);
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out, QByteArray("fin@exemple.fr\n"));
    QVERIFY2(peakKb < 64 * 1024, qPrintable(u"peak %1 kB"_s.arg(peakKb)));
}

void TestAdrelioExtract::severalFilesInOrder()
{
    const QString first = writeFile(m_dir.path(), u"first.txt"_s, "1@a 2@a");
    const QString second = writeFile(m_dir.path(), u"second.txt"_s, utf16Bytes(u"4@b", false));
    const Result result = run({first, u"-"_s, second, first}, "3@stdin");
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out, QByteArray("1@a\n2@a\n3@stdin\n4@b\n1@a\n2@a\n"));
}

void TestAdrelioExtract::unreadableFileIsSkipped_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("error");

    QTest::newRow("missing") << u"missing.txt"_s << ENOENT;
}

void TestAdrelioExtract::unreadableFileIsSkipped()
{
    QFETCH(QString, name);
    QFETCH(int, error);

    QVERIFY(QDir(m_dir.path()).mkpath(u"folder"_s));
    const QString before = writeFile(m_dir.path(), u"before.txt"_s, "a@before");
    const QString after = writeFile(m_dir.path(), u"after.txt"_s, "a@after");
    // A relative name, so that the message shows it made absolute.
    const Result result = run({before, name, after});
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(result.out, QByteArray("a@before\na@after\n"));
    QCOMPARE(result.err, "adrelio-extract : "
                                 + openErrorMessage(m_dir.filePath(name), error).toUtf8() + '\n');
}

void TestAdrelioExtract::sort()
{
    const QString first = writeFile(m_dir.path(), u"first.txt"_s, "b@x A@x a@x B@x");
    const QString second = writeFile(m_dir.path(), u"second.txt"_s, "\xEF\xBB\xBFz@y a@y");
    const Result result = run({u"--sort"_s, first, second});
    QCOMPARE(result.exitCode, 0);
    // Each file's list is sorted on its own, as the window sorts the list it holds.
    QCOMPARE(result.out, QByteArray("a@x\nA@x\nB@x\nb@x\na@y\nz@y\n"));
}

void TestAdrelioExtract::options_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("addresses");

    QTest::newRow("none") << QStringList()
                          << QByteArray("<Jean@Ex.fr>\nmailto:jean@ex.FR?x=1\n(x@y.fr)\njunk@\nx@y.fr\n"
                                        "A b <b@c.fr>\nX@Y.FR\nx@y.fr\n");
    QTest::newRow("clean") << QStringList{u"--clean"_s}
                           << QByteArray("Jean@Ex.fr\njean@ex.FR\nx@y.fr\nx@y.fr\nb@c.fr\nX@Y.FR\nx@y.fr\n");
    QTest::newRow("unique") << QStringList{u"--unique"_s}
                            << QByteArray("<Jean@Ex.fr>\nmailto:jean@ex.FR?x=1\n(x@y.fr)\njunk@\nx@y.fr\n"
                                          "A b <b@c.fr>\nx@y.fr\n");
    QTest::newRow("clean and unique") << QStringList{u"--unique"_s, u"--clean"_s}
                                      << QByteArray("Jean@Ex.fr\nx@y.fr\nb@c.fr\nx@y.fr\n");
    QTest::newRow("clean, unique and sort") << QStringList{u"--clean"_s, u"--sort"_s, u"--unique"_s}
                                            << QByteArray("b@c.fr\nJean@Ex.fr\nx@y.fr\nx@y.fr\n");
}

// Each file gives its own list, with duplicates left out within it, as the window's list.
void TestAdrelioExtract::options()
{
    QFETCH(QStringList, options);
    QFETCH(QByteArray, addresses);

    const QString first = writeFile(m_dir.path(), u"first.txt"_s,
                                    "<Jean@Ex.fr> mailto:jean@ex.FR?x=1 (x@y.fr), junk@ x@y.fr "
                                    "\"A b <b@c.fr>\"\r\nX@Y.FR");
    const QString second = writeFile(m_dir.path(), u"second.txt"_s, "x@y.fr");
    const Result result = run(options + QStringList{first, second});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.err, QByteArray());
    QCOMPARE(result.out, addresses);
}

void TestAdrelioExtract::cleaningExamples_data()
{
    addCleaningExamples();
}

// Every address of each kind of file, as the window gives them (tst_startup).
void TestAdrelioExtract::cleaningExamples()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, addresses);

    const QString file = writeFile(m_dir.path(), u"exemple.txt"_s, content);
    const Result result = run({u"--clean"_s, file});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.err, QByteArray());
    QCOMPARE(QString::fromUtf8(result.out), QString::fromUtf8(utf8Lines(addresses)));
}

void TestAdrelioExtract::help()
{
    const Result result = run({u"--help"_s, u"missing.txt"_s});
    QCOMPARE(result.exitCode, 0);
    QVERIFY(result.out.startsWith("Usage : adrelio-extract [--clean] [--unique] [--sort] [FICHIER...]\n"));
    for (const char *option : {"--clean", "--unique", "--sort"})
        QVERIFY(result.out.contains(option));
    QCOMPARE(result.err, QByteArray());
}

void TestAdrelioExtract::unknownOption()
{
    const QString file = writeFile(m_dir.path(), u"in.txt"_s, "a@b");
    const Result result = run({file, u"--trier"_s});
    QCOMPARE(result.exitCode, 2);
    QCOMPARE(result.out, QByteArray());
    QVERIFY(result.err.startsWith("adrelio-extract : option inconnue \"--trier\"\n"));
}

void TestAdrelioExtract::endOfOptions()
{
    writeFile(m_dir.path(), u"-x.txt"_s, "a@b");
    const Result result = run({u"--"_s, u"-x.txt"_s});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out, QByteArray("a@b\n"));
}

void TestAdrelioExtract::writeFailure()
{
    if (!QFile::exists(u"/dev/full"_s))
        QSKIP("/dev/full is needed to make writes fail");
    const Result result = run({writeFile(m_dir.path(), u"in.txt"_s, "a@b")}, {}, u"/dev/full"_s);
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(result.err,
             "adrelio-extract : " + writeErrorMessage().toUtf8() + ". "
                     + systemErrorText(ENOSPC).toUtf8() + '\n');
}

void TestAdrelioExtract::hugeSingleLine()
{
    QByteArray line;
    QByteArray addresses;
    for (int i = 0; line.size() < 6 << 20; ++i) {
        const QByteArray address = "u" + QByteArray::number(i) + "@exemple.fr";
        line += "\"Nom, " + QByteArray::number(i) + "\" <" + address + ">, texte; ";
        addresses += "<" + address + ">\n";
    }
    const Result result = run({writeFile(m_dir.path(), u"huge.txt"_s, line + "\r\n")});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out.size(), addresses.size());
    QVERIFY(result.out == addresses);
}

void TestAdrelioExtract::helpWriteFailure()
{
    if (!QFile::exists(u"/dev/full"_s))
        QSKIP("/dev/full is needed to make writes fail");
    for (const QString &option : {u"--help"_s, u"--version"_s}) {
        const Result result = run({option}, {}, u"/dev/full"_s);
        QCOMPARE(result.exitCode, 1);
        QCOMPARE(result.err, "adrelio-extract : " + writeErrorMessage().toUtf8() + ". "
                                     + systemErrorText(ENOSPC).toUtf8() + '\n');
    }
}

void TestAdrelioExtract::version()
{
    const Result result = run({u"--version"_s});
    QCOMPARE(result.exitCode, 0);
    QVERIFY(result.out.startsWith("adrelio-extract 1."));
}

// Every kind gives exactly the addresses it holds, whatever its name.
void TestAdrelioExtract::documents_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QByteArray>("addresses");

    QTest::newRow("xlsx") << xlsxOf({{{u"Nom"_s, u"jean@exemple.fr"_s}, {u"inline:Marie <marie@exemple.fr>"_s}},
                                     {{u"JEAN@exemple.fr"_s, u"paul@exemple.fr"_s}}})
                          << QByteArray("jean@exemple.fr\nmarie@exemple.fr\npaul@exemple.fr\n");
    QTest::newRow("docx") << docxOf({{u"Écrire à jean.du"_s, u"pont@exemple.fr"_s}})
                          << QByteArray("jean.dupont@exemple.fr\n");
    QTest::newRow("pptx") << pptxOf({{u"(orateur@exemple.fr)"_s}}) << QByteArray("orateur@exemple.fr\n");
    QTest::newRow("ods") << openDocumentOf(u"application/vnd.oasis.opendocument.spreadsheet"_s,
                                           u"<table:table><table:table-row><table:table-cell>"
                                           "<text:p>a@b.fr</text:p></table:table-cell>"
                                           "</table:table-row></table:table>"_s)
                         << QByteArray("a@b.fr\n");
    QTest::newRow("pdf") << pdfOf({{u"jean@exemple.fr"_s}, {u"marie@asso.org"_s}})
                         << QByteArray("jean@exemple.fr\nmarie@asso.org\n");
    QTest::newRow("eml, QP soft break in an address")
            << QByteArray("From: <a@exemple.fr>\nMIME-Version: 1.0\n"
                          "Content-Type: text/plain; charset=utf-8\n"
                          "Content-Transfer-Encoding: quoted-printable\n\n"
                          "Voir ion-spor=\ntive@club.fr\n")
            << QByteArray("a@exemple.fr\nion-sportive@club.fr\n");
    QTest::newRow("gzip of a CSV") << compressedOf("n,m\nx,\xE9lodie@exemple.fr\n")
                                   << QByteArray("\xC3\xA9lodie@exemple.fr\n");
    QTest::newRow("zip of a docx") << zipOf({{u"a.docx"_s, docxOf({{u"z@y.fr"_s}})}})
                                   << QByteArray("z@y.fr\n");
}

void TestAdrelioExtract::documents()
{
    QFETCH(QByteArray, document);
    QFETCH(QByteArray, addresses);

    const Result result = run({u"--clean"_s, u"--unique"_s, writeFile(m_dir.path(), u"document.txt"_s, document)});
    QCOMPARE(result.err, QByteArray());
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out, addresses);
}

// A document that cannot be read gives its message and exit 1; the files after it are
// still read.
void TestAdrelioExtract::badDocuments_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QString>("reason");

    const QByteArray docx = docxOf({{u"a@b.fr"_s}});
    QTest::newRow("truncated docx") << docx.first(docx.size() / 2) << u"fichier endommagé"_s;
    QTest::newRow("encrypted PDF") << encryptedPdfOf(pdfOf({{u"a@b.fr"_s}}))
                                   << u"document protégé par un mot de passe"_s;
    QTest::newRow("PDF whose page tree holds itself") << pdfWithLoopingPageTree()
                                                      << u"fichier endommagé"_s;
    QTest::newRow("bomb") << compressedOf(QByteArray(150'000'000, 'x'))
                          << u"archive trop volumineuse une fois décompressée"_s;
}

void TestAdrelioExtract::badDocuments()
{
    QFETCH(QByteArray, document);
    QFETCH(QString, reason);

    const QString bad = writeFile(m_dir.path(), u"bad.docx"_s, document);
    const QString after = writeFile(m_dir.path(), u"after.txt"_s, "a@after");
    const Result result = run({bad, after});
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(result.out, QByteArray("a@after\n"));
    QCOMPARE(QString::fromUtf8(result.err),
             u"adrelio-extract : Impossible de lire le document \"%1\". %2\n"_s.arg(bad, reason));
}

// Pipes are told by their first bytes as files are.
void TestAdrelioExtract::documentStreams_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("addresses");

    QTest::newRow("gzip") << compressedOf("x y@z.fr\n") << QByteArray("y@z.fr\n");
    QTest::newRow("mbox") << QByteArray("From a@b.fr Mon Jan  1 00:00:00 2024\nFrom: a@b.fr\n\nc@d.fr\n")
                          << QByteArray("a@b.fr\nc@d.fr\n");
    QTest::newRow("xlsx") << xlsxOf({{{u"q@r.fr"_s}}}) << QByteArray("q@r.fr\n");
    QTest::newRow("pdf") << pdfOf({{u"Programme"_s, u"p@q.fr"_s}}) << QByteArray("p@q.fr\n");
    QTest::newRow("text that starts like headers")
            << QByteArray("Note: a@b.fr\n") << QByteArray("a@b.fr\n");
}

void TestAdrelioExtract::documentStreams()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, addresses);

    const Result result = run({u"--clean"_s}, input);
    QCOMPARE(result.err, QByteArray());
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out, addresses);
}

void TestAdrelioExtract::folderInNameOrder()
{
    const QString folder = m_dir.filePath(u"dossier"_s);
    QVERIFY(QDir(folder).mkpath(u"b/c"_s));
    writeFile(folder, u"c.txt"_s, "3@c");
    writeFile(folder, u"a.txt"_s, "1@a");
    writeFile(folder + u"/b"_s, u"z.gz"_s, compressedOf("2@z"));
    writeFile(folder + u"/b/c"_s, u"d.txt"_s, "2@d");
    const Result result = run({folder});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out, QByteArray("1@a\n2@d\n2@z\n3@c\n"));
}

void TestAdrelioExtract::outOfMemory_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("text");

    // One field is held whole, twice over once decoded.
    QTest::newRow("field of 200 MB") << QStringList() << QByteArray(200 << 20, 'a') + "@b.fr\n";
    // The sort holds every address.
    QByteArray addresses;
    addresses.reserve(150 << 20);
    for (int i = 0; addresses.size() < 150 << 20; ++i)
        addresses += "adresse" + QByteArray::number(i) + "@exemple.fr\n";
    QTest::newRow("--sort of 150 MB") << QStringList{ u"--sort"_s } << addresses;
}

// Memory that runs out is an error like any other: its message and exit code 1, never an
// abort. The tool runs under ulimit -v, as a user with little memory runs it.
void TestAdrelioExtract::outOfMemory()
{
    QFETCH(QStringList, options);
    QFETCH(QByteArray, text);
    QString why;
    if (!addressSpaceCanBeLimited(&why))
        QSKIP(qPrintable(why));

    const QString input = writeFile(m_dir.path(), u"large.txt"_s, text);
    text = QByteArray();
    QProcess process;
    process.start(u"bash"_s, QStringList{ u"-c"_s, u"ulimit -v 300000 && exec \"$0\" \"$@\""_s,
                                         QStringLiteral(ADRELIO_EXTRACT) }
                                 + options + QStringList{ input });
    QVERIFY(process.waitForFinished(120000));
    QFile::remove(input);
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.readAllStandardError(), "adrelio-extract : Mémoire insuffisante\n");
    QCOMPARE(process.exitCode(), 1);
    QCOMPARE(process.readAllStandardOutput(), QByteArray());
}

QTEST_GUILESS_MAIN(TestAdrelioExtract)
#include "tst_adrelioextract.moc"

