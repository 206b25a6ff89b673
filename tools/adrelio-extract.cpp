// adrelio-extract: the addresses of text files, extracted and sorted as the window does,
// written to standard output for scripts and batches.

#include "base/adrelioerror.h"
#include "base/fileerrors.h"
#include "extract/extraction.h"
#include "worklist/linesort.h"
#include "worklist/textfile.h"

#include <QByteArray>
#include <QFile>
#include <QStringList>

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

constexpr qsizetype readChunkSize = qsizetype(1) << 20;

const char usage[] =
    "Usage : adrelio-extract [--sort] [FICHIER...]\n"
    "Extrait les adresses EMAIL de chaque FICHIER comme le fait la commande \"Extraire\"\n"
    "d'Adrelio, et les écrit sur la sortie standard en UTF-8, une par ligne. Sans FICHIER,\n"
    "ou pour \"-\", lit l'entrée standard. Les résultats des fichiers se suivent dans\n"
    "l'ordre donné.\n"
    "\n"
    "  --sort   trie les adresses comme \"Trier la liste\", fichier par fichier : chaque\n"
    "           fichier donne sa propre liste triée, comme dans la fenêtre\n"
    "  --help   affiche cette aide\n"
    "  --       termine les options, pour un FICHIER dont le nom commence par \"-\"\n"
    "\n"
    "Code de retour : 0 si tout s'est bien passé, 1 si un fichier n'a pas pu être lu,\n"
    "2 si la ligne de commande est incorrecte.\n";

void printError(const QString &message)
{
    std::fprintf(stderr, "adrelio-extract : %s\n", message.toLocal8Bit().constData());
}

// Writes all of bytes to standard output, then empties them, keeping their capacity for
// the next ones. A failed write ends the program: nothing more could reach the reader.
void writeOut(QByteArray &bytes)
{
    const char *p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(STDOUT_FILENO, p, size_t(left));
        if (written < 0) {
            const int error = errno;
            if (error == EINTR)
                continue;
            printError(writeErrorMessage() + QStringLiteral(". ") + systemErrorText(error));
            std::exit(EXIT_FAILURE);
        }
        p += written;
        left -= written;
    }
    bytes.truncate(0);
}

QByteArray readStandardInput()
{
    QByteArray bytes;
    qsizetype size = 0;
    for (;;) {
        if (bytes.size() - size < readChunkSize)
            bytes.resize(size + readChunkSize + size / 2);
        const ssize_t count = ::read(STDIN_FILENO, bytes.data() + size, size_t(bytes.size() - size));
        if (count < 0) {
            const int error = errno;
            if (error == EINTR)
                continue;
            throw AdrelioError(QStringLiteral("Impossible de lire l'entrée standard. %1")
                                       .arg(systemErrorText(error)));
        }
        if (count == 0)
            break;
        size += count;
    }
    bytes.truncate(size);
    return bytes;
}

RawTextFile readInput(const char *argument)
{
    if (std::strcmp(argument, "-") == 0)
        return rawTextFromBytes(readStandardInput());
    return readTextFile(QFile::decodeName(argument));
}

void extractInput(const char *argument, bool sort, QByteArray &out)
{
    const RawTextFile file = readInput(argument);
    if (!sort) {
        writeAddressesInFile(file, out, writeOut);
        return;
    }
    QStringList addresses = addressesInFile(file);
    sortLines(addresses);
    writeAddresses(addresses, out, writeOut);
}

} // namespace

int main(int argc, char *argv[])
{
    std::setlocale(LC_ALL, "");

    bool sort = false;
    QList<const char *> inputs;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const char *argument = argv[i];
        if (optionsEnded || argument[0] != '-' || std::strcmp(argument, "-") == 0) {
            inputs.append(argument);
        } else if (std::strcmp(argument, "--") == 0) {
            optionsEnded = true;
        } else if (std::strcmp(argument, "--sort") == 0) {
            sort = true;
        } else if (std::strcmp(argument, "--help") == 0) {
            std::fputs(usage, stdout);
            return EXIT_SUCCESS;
        } else {
            std::fprintf(stderr,
                         "adrelio-extract : option inconnue \"%s\"\n"
                         "Essayez \"adrelio-extract --help\" pour plus d'informations.\n",
                         argument);
            return 2;
        }
    }
    if (inputs.isEmpty())
        inputs.append("-");

    int status = EXIT_SUCCESS;
    QByteArray out;
    // Room for one more address beyond the flush size.
    out.reserve(2 * addressFlushSize);
    for (const char *input : std::as_const(inputs)) {
        try {
            extractInput(input, sort, out);
        } catch (const AdrelioError &error) {
            writeOut(out);
            printError(error.message());
            status = EXIT_FAILURE;
        }
    }
    writeOut(out);
    return status;
}
