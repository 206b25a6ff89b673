// Reads one document as the window and adrelio-extract read it (DocumentReader: an office
// file, a PDF, a mail or mailbox, an archive) and prints one line:
//   document file=FILE seconds=S peak_kb=K child_peak_kb=C text_bytes=T lines=N
// where T is the size of the text it gives, UTF-8, K the process's peak resident set,
// which the readers keep within that text plus 64 MB, and C the largest of its children's
// (the process that reads a PDF). With --in-process, a PDF is read by PdfReader in this
// process, as the child does, to measure what the child costs.

#include "peakmemory.h"

#include "base/adrelioerror.h"
#include "documents/documentreader.h"
#include "documents/documenttext.h"
#include "documents/pdfprocess.h"
#include "documents/pdfreader.h"

#include <QElapsedTimer>

#include <cstdio>
#include <cstring>

#include <sys/resource.h>

namespace {

QByteArray pdfTextInProcess(const QString &fileName)
{
    DocumentSource source;
    source.fileName = fileName;
    const Progress progress;
    DocumentText text(0, progress);
    PdfReader reader(source);
    for (int page = 0; page < reader.pageCount(); ++page)
        text.appendUtf8(reader.pageText(page));
    return text.take();
}

} // namespace

int main(int argc, char *argv[])
{
    if (const std::optional<int> status = PdfProcess::runChild(argc, argv))
        return *status;
    const bool inProcess = argc == 3 && std::strcmp(argv[1], "--in-process") == 0;
    if (argc != 2 && !inProcess) {
        std::fputs("Usage : benchdocument [--in-process] FICHIER\n", stderr);
        return 2;
    }
    const QString fileName = QFile::decodeName(argv[argc - 1]);
    QElapsedTimer timer;
    timer.start();
    RawTextFile text;
    try {
        const DocumentKind kind = DocumentReader::kindOfFile(fileName);
        if (kind == DocumentKind::Text || (inProcess && kind != DocumentKind::Pdf)) {
            std::fprintf(stderr, "benchdocument: %s n'est pas un document%s\n", argv[argc - 1],
                         inProcess ? " PDF" : "");
            return 1;
        }
        if (inProcess)
            text.bytes = pdfTextInProcess(fileName);
        else
            text = DocumentReader::readFile(fileName, kind);
    } catch (const AdrelioError &error) {
        std::fprintf(stderr, "benchdocument: %s\n", qPrintable(error.message()));
        return 1;
    } catch (const DocumentFailure &) {
        std::fprintf(stderr, "benchdocument: %s illisible\n", argv[argc - 1]);
        return 1;
    }
    const qint64 nanoseconds = timer.nsecsElapsed();
    struct rusage children;
    ::getrusage(RUSAGE_CHILDREN, &children);
    std::printf("document file=%s seconds=%.3f peak_kb=%lld child_peak_kb=%ld text_bytes=%lld lines=%lld\n",
                argv[argc - 1], nanoseconds / 1e9, peakResidentKb(), children.ru_maxrss,
                qint64(text.bytes.size()), qint64(text.bytes.count('\n')));
    return 0;
}
