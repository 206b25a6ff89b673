// adrelio-extract: the addresses of text files and documents, extracted and sorted as the
// window does, written to standard output for scripts and batches.

#include "base/adrelioerror.h"
#include "base/boundary.h"
#include "base/fileerrors.h"
#include "documents/documentreader.h"
#include "documents/pdfprocess.h"
#include "extract/addressextractor.h"
#include "extract/extraction.h"
#include "worklist/textinput.h"

#include <QByteArrayView>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char usage[] =
    "Usage : adrelio-extract [--clean] [--unique] [--sort] [FICHIER...]\n"
    "Extrait les adresses EMAIL de chaque FICHIER comme le fait la commande \"Extraire\"\n"
    "d'Adrelio, et les écrit sur la sortie standard en UTF-8, une par ligne. Sans FICHIER,\n"
    "ou pour \"-\", lit l'entrée standard. Les résultats des fichiers se suivent dans\n"
    "l'ordre donné ; un dossier est lu fichier par fichier, sous-dossiers compris, dans\n"
    "l'ordre des noms. Un FICHIER peut aussi être un tube ou un périphérique, et de toute\n"
    "taille : il est lu au fur et à mesure, et les adresses sont écrites dès qu'elles\n"
    "sont trouvées.\n"
    "\n"
    "Un classeur, un document ou une présentation (Office Open XML : .xlsx, .docx, .pptx ;\n"
    "OpenDocument : .ods, .odt, .odp), un PDF, un message (.eml) ou une boîte aux lettres\n"
    "(.mbox), un fichier compressé (gzip, bzip2, xz, zstd) ou une archive (zip, tar) est\n"
    "lu comme le texte qu'il contient, reconnu à son contenu et non à son nom.\n"
    "\n"
    "  --clean    ne garde que les adresses, comme \"Adresses seules\" : chaque champ\n"
    "             donne toutes les adresses qu'il contient, dans l'ordre, sans ce qui les\n"
    "             entoure (libellés, \"clé=\", balises, guillemets, crochets, \"mailto:\",\n"
    "             ponctuation), les références HTML (&#64;, &lt;...) et le codage %40\n"
    "             d'un \"mailto:\" décodés ; le domaine finit par un domaine de premier\n"
    "             niveau qui existe ; un champ sans adresse ne donne rien\n"
    "  --unique   ne garde que la première de chaque adresse, sans tenir compte de la\n"
    "             casse, comme \"Sans doublons\", fichier par fichier\n"
    "  --sort     trie les adresses comme \"Trier la liste\", fichier par fichier : chaque\n"
    "             fichier donne sa propre liste triée, comme dans la fenêtre\n"
    "  --help     affiche cette aide\n"
    "  --version  affiche la version\n"
    "  --         termine les options, pour un FICHIER dont le nom commence par \"-\"\n"
    "\n"
    "Code de retour : 0 si tout s'est bien passé, 1 si un fichier n'a pas pu être lu ou si\n"
    "la sortie n'a pas pu être écrite, 2 si la ligne de commande est incorrecte.\n";

// A write to standard output that failed: nothing more could reach the reader, so the
// program ends.
struct OutputFailure
{
    QString message;
};

void printError(const QString &message)
{
    std::fprintf(stderr, "adrelio-extract : %s\n", message.toLocal8Bit().constData());
}

// Writes all of bytes to standard output. Throws OutputFailure.
void writeOut(QByteArrayView bytes)
{
    const char *p = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(STDOUT_FILENO, p, size_t(left));
        if (written < 0) {
            const int error = errno;
            if (error == EINTR)
                continue;
            throw OutputFailure{writeErrorMessage() + QStringLiteral(". ") + systemErrorText(error)};
        }
        p += written;
        left -= written;
    }
}

class Extraction
{
public:
    Extraction(ExtractionOptions options, bool sort) : m_extractor(options), m_sort(sort) { }

    // Without sorting, the addresses go out as they are found, a piece at a time, and a
    // text input is never held whole; sorting holds the addresses, not the input. A
    // document's text is held, as its reader gives it.
    void extract(TextInput &input) const
    {
        if (m_sort)
            m_extractor.writeSortedAddressesInInput(input, writeOut);
        else
            m_extractor.writeAddressesInInput(input, writeOut);
    }

    void extract(RawTextFile text) const
    {
        TextInput input(std::move(text.bytes));
        extract(input);
    }

private:
    AddressExtractor m_extractor;
    bool m_sort;
};

// A stream is told from its first bytes, which it then gives again.
void extractStream(int fd, bool ownsFd, const QString &name, const Extraction &extraction)
{
    DocumentReader::StreamStart start;
    try {
        start = DocumentReader::readStreamStart(fd, name);
    } catch (...) {
        if (ownsFd)
            ::close(fd);
        throw;
    }
    if (start.kind == DocumentKind::Text) {
        TextInput input = TextInput::stream(fd, ownsFd, name, std::move(start.head));
        extraction.extract(input);
        return;
    }
    struct Closer
    {
        int fd;
        bool owns;
        ~Closer()
        {
            if (owns)
                ::close(fd);
        }
    } closer{fd, ownsFd};
    extraction.extract(DocumentReader::readStream(fd, start, name));
}

// A folder's entries in the order of their names, each folder where its name comes; only
// regular files are read, so that a FIFO met on the way does not wait for a writer.
bool extractFolder(const QString &path, const Extraction &extraction);

bool extractPath(const QString &path, const Extraction &extraction)
{
    try {
        if (path == u"-") {
            extractStream(STDIN_FILENO, false, QString(), extraction);
            return true;
        }
        struct stat status;
        const QByteArray encoded = QFile::encodeName(path);
        if (::stat(encoded.constData(), &status) == 0 && S_ISDIR(status.st_mode))
            return extractFolder(path, extraction);
        if (::stat(encoded.constData(), &status) == 0 && !S_ISREG(status.st_mode)) {
            const int fd = ::open(encoded.constData(), O_RDONLY | O_CLOEXEC);
            if (fd < 0) {
                const int error = errno;
                throw AdrelioError(openErrorMessage(path, error));
            }
            extractStream(fd, true, path, extraction);
            return true;
        }
        const DocumentKind kind = DocumentReader::kindOfFile(path);
        if (kind == DocumentKind::Text) {
            TextInput input(path);
            extraction.extract(input);
        } else {
            extraction.extract(DocumentReader::readFile(path, kind));
        }
        return true;
    } catch (const AdrelioError &error) {
        printError(error.message());
        return false;
    } catch (const std::bad_alloc &) {
        printError(QStringLiteral("Mémoire insuffisante"));
        return false;
    }
}

bool extractFolder(const QString &path, const Extraction &extraction)
{
    const QDir folder(path);
    if (!folder.isReadable()) {
        printError(openErrorMessage(path, EACCES));
        return false;
    }
    bool ok = true;
    const QFileInfoList entries = folder.entryInfoList(
            QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
    for (const QFileInfo &entry : entries) {
        if (entry.isDir() && !entry.isSymLink())
            ok = extractFolder(entry.filePath(), extraction) && ok;
        else if (entry.isFile())
            ok = extractPath(entry.filePath(), extraction) && ok;
    }
    return ok;
}

// The argument that gave the unknown option name, as it was typed.
QString typedOption(const QStringList &arguments, const QString &name)
{
    for (const QString &argument : arguments.sliced(1)) {
        if (argument == u"--")
            break;
        if (argument == u'-' + name || argument == QLatin1String("--") + name
            || argument.startsWith(QLatin1String("--") + name + u'='))
            return argument;
    }
    return u'-' + name;
}

} // namespace

int main(int argc, char *argv[])
{
    // The tool runs itself again to read a PDF (PdfProcess).
    if (const std::optional<int> status = PdfProcess::runChild(argc, argv))
        return *status;
    // For the tests only: how long a PDF's reading may stall before it is given up.
    if (const int stallLimit = qEnvironmentVariableIntValue("ADRELIO_PDF_STALL_LIMIT_MS"); stallLimit > 0)
        PdfProcess::setStallLimit(stallLimit);

    std::setlocale(LC_ALL, "");

    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QFile::decodeName(argv[i]));

    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption clean(QStringLiteral("clean"));
    const QCommandLineOption unique(QStringLiteral("unique"));
    const QCommandLineOption sort(QStringLiteral("sort"));
    const QCommandLineOption help(QStringLiteral("help"));
    const QCommandLineOption version(QStringLiteral("version"));
    parser.addOptions({clean, unique, sort, help, version});

    try {
        if (!parser.parse(arguments)) {
            const QStringList unknown = parser.unknownOptionNames();
            const QString message = unknown.isEmpty()
                    ? parser.errorText()
                    : QStringLiteral("option inconnue \"%1\"").arg(typedOption(arguments, unknown.constFirst()));
            std::fprintf(stderr,
                         "adrelio-extract : %s\n"
                         "Essayez \"adrelio-extract --help\" pour plus d'informations.\n",
                         message.toLocal8Bit().constData());
            return 2;
        }
        if (parser.isSet(help)) {
            writeOut(usage);
            return EXIT_SUCCESS;
        }
        if (parser.isSet(version)) {
            writeOut("adrelio-extract " ADRELIO_FILE_VERSION "\n");
            return EXIT_SUCCESS;
        }

        QStringList inputs = parser.positionalArguments();
        if (inputs.isEmpty())
            inputs.append(QStringLiteral("-"));
        const Extraction extraction({parser.isSet(clean), parser.isSet(unique)}, parser.isSet(sort));
        int status = EXIT_SUCCESS;
        for (const QString &input : std::as_const(inputs)) {
            if (!extractPath(input, extraction))
                status = EXIT_FAILURE;
        }
        return status;
    } catch (const OutputFailure &failure) {
        printError(failure.message);
        return EXIT_FAILURE;
    } catch (...) {
        // Memory that runs out gives « Mémoire insuffisante », never an abort.
        reportCurrentException(printError);
        return EXIT_FAILURE;
    }
}
