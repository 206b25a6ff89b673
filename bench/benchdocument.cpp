// Reads one document as the window and adrelio-extract read it (DocumentReader: an office
// file, a PDF, a mail or mailbox, an archive) and prints one line:
//   document file=FILE seconds=S peak_kb=K text_bytes=T lines=N
// where T is the size of the text it gives, UTF-8, and K the process's peak resident
// set, which the readers keep within that text plus 64 MB.

#include "peakmemory.h"

#include "base/adrelioerror.h"
#include "documents/documentreader.h"

#include <QElapsedTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fputs("Usage : benchdocument FICHIER\n", stderr);
        return 2;
    }
    const QString fileName = QFile::decodeName(argv[1]);
    QElapsedTimer timer;
    timer.start();
    RawTextFile text;
    try {
        const DocumentKind kind = DocumentReader::kindOfFile(fileName);
        if (kind == DocumentKind::Text) {
            std::fprintf(stderr, "benchdocument: %s n'est pas un document\n", argv[1]);
            return 1;
        }
        text = DocumentReader::readFile(fileName, kind);
    } catch (const AdrelioError &error) {
        std::fprintf(stderr, "benchdocument: %s\n", qPrintable(error.message()));
        return 1;
    }
    const qint64 nanoseconds = timer.nsecsElapsed();
    std::printf("document file=%s seconds=%.3f peak_kb=%lld text_bytes=%lld lines=%lld\n", argv[1],
                nanoseconds / 1e9, peakResidentKb(), qint64(text.bytes.size()),
                qint64(text.bytes.count('\n')));
    return 0;
}
