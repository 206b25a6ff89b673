// The PDF reader over PDFs built around any bytes: the input's first byte, when odd, cuts
// the PDF short (at that byte's share of 256 of its length); the rest are the content
// streams of its pages, separated by NUL bytes (8 pages at most), inside a sound page
// tree and cross-reference table. A whole PDF opens and gives one line or more per page;
// a cut one gives its text or DocumentFailure; the text is well-formed UTF-8 made of
// whole lines. The target runs PdfReader, the code of the child that reads a PDF for the
// program, in its own process, which libFuzzer needs. The PDF around the pages is ours,
// not the fuzzer's: pdfium, the engine of Debian 12's Qt PDF module, loops forever on a
// page tree that holds itself, which the program's reader stops by killing its child but
// which would stop the fuzzer here.
#include "documentfuzzing.h"

#include "documents/pdfreader.h"
#include "support/documentfiles.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const uchar cut = data[0];
    const QByteArray body(reinterpret_cast<const char *>(data) + 1, qsizetype(size) - 1);
    const QList<QByteArray> contents = body.split('\0');
    if (contents.size() > 8)
        return 0;
    DocumentSource source;
    source.bytes = pdfOfContents(contents);
    const bool whole = cut % 2 == 0;
    if (!whole)
        source.bytes.truncate(source.bytes.size() * cut / 256);
    QByteArray text;
    try {
        PdfReader reader(source);
        for (int page = 0; page < reader.pageCount(); ++page)
            text += reader.pageText(page);
    } catch (const DocumentFailure &) {
        require(!whole, "a whole PDF opens");
        return 0;
    }
    requireDocumentText(text);
    require(!whole || text.count('\n') >= contents.size(), "each page gives a line");
    return 0;
}
