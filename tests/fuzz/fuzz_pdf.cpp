// The PDF reader over PDFs built around any bytes: the input's first byte, when odd, cuts
// the PDF short (at that byte's share of 256 of its length); the rest are the content
// streams of its pages, separated by NUL bytes (8 pages at most), inside a sound page
// tree and cross-reference table. A whole PDF opens and gives one line or more per page;
// a cut one gives its text or DocumentFailure; the text is well-formed UTF-8 made of
// whole lines. The PDF around the pages is ours, not the fuzzer's: the PDF engine of
// Debian 12's Qt (pdfium) loops forever on a page tree that holds itself, which no
// reader of ours can stop (docs/RELIABILITY.md).
#include "documentfuzzing.h"

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
    QByteArray pdf = pdfOfContents(contents);
    const bool whole = cut % 2 == 0;
    if (!whole)
        pdf.truncate(pdf.size() * cut / 256);
    QByteArray text;
    if (!readsAsDocument(pdf, DocumentKind::Pdf, &text)) {
        require(!whole, "a whole PDF opens");
        return 0;
    }
    require(!whole || text.count('\n') >= contents.size(), "each page gives a line");
    return 0;
}
