// adrelio-extract: the addresses of text files, extracted and sorted as the window does,
// written to standard output for scripts and batches.

#include "base/adrelioerror.h"
#include "base/boundary.h"
#include "base/fileerrors.h"
#include "extract/addressextractor.h"
#include "extract/extraction.h"
#include "worklist/textinput.h"

#include <QByteArrayView>
#include <QFile>

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

const char usage[] =
    "Usage : adrelio-extract [--clean] [--unique] [--sort] [FICHIER...]\n"
    "Extrait les adresses EMAIL de chaque FICHIER comme le fait la commande \"Extraire\"\n"
    "d'Adrelio, et les écrit sur la sortie standard en UTF-8, une par ligne. Sans FICHIER,\n"
    "ou pour \"-\", lit l'entrée standard. Les résultats des fichiers se suivent dans\n"
    "l'ordre donné. Un FICHIER peut aussi être un tube ou un périphérique, et de toute\n"
    "taille : il est lu au fur et à mesure, et les adresses sont écrites dès qu'elles\n"
    "sont trouvées.\n"
    "\n"
    "  --clean   ne garde de chaque champ que l'adresse qu'il contient, comme \"Adresses\n"
    "            seules\" : sans \"mailto:\", crochets, guillemets ni ponctuation autour ;\n"
    "            un champ qui ne contient pas d'adresse est omis\n"
    "  --unique  ne garde que la première de chaque adresse, sans tenir compte de la\n"
    "            casse, comme \"Sans doublons\", fichier par fichier\n"
    "  --sort    trie les adresses comme \"Trier la liste\", fichier par fichier : chaque\n"
    "            fichier donne sa propre liste triée, comme dans la fenêtre\n"
    "  --help    affiche cette aide\n"
    "  --        termine les options, pour un FICHIER dont le nom commence par \"-\"\n"
    "\n"
    "Code de retour : 0 si tout s'est bien passé, 1 si un fichier n'a pas pu être lu,\n"
    "2 si la ligne de commande est incorrecte.\n";

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

TextInput openInput(const char *argument)
{
    if (std::strcmp(argument, "-") == 0)
        return TextInput::standardInput();
    return TextInput(QFile::decodeName(argument));
}

// Without sorting, the addresses go out as they are found, a piece at a time, and the
// input is never held whole; sorting holds the addresses, not the input.
void extractInput(const char *argument, ExtractionOptions options, bool sort)
{
    TextInput input = openInput(argument);
    const AddressExtractor extractor(options);
    if (sort)
        extractor.writeSortedAddressesInInput(input, writeOut);
    else
        extractor.writeAddressesInInput(input, writeOut);
}

} // namespace

int main(int argc, char *argv[])
{
    std::setlocale(LC_ALL, "");

    bool sort = false;
    ExtractionOptions options;
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
        } else if (std::strcmp(argument, "--clean") == 0) {
            options.clean = true;
        } else if (std::strcmp(argument, "--unique") == 0) {
            options.unique = true;
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
    try {
        for (const char *input : std::as_const(inputs)) {
            try {
                extractInput(input, options, sort);
            } catch (const AdrelioError &error) {
                printError(error.message());
                status = EXIT_FAILURE;
            }
        }
    } catch (const OutputFailure &failure) {
        printError(failure.message);
        return EXIT_FAILURE;
    } catch (...) {
        // Memory that runs out gives « Mémoire insuffisante », never an abort.
        reportCurrentException(printError);
        return EXIT_FAILURE;
    }
    return status;
}
