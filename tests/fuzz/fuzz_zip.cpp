// The zip, office XML and compressed readers over any bytes: the text they give is
// well-formed UTF-8 made of whole lines, and bad input ends in a DocumentFailure, never
// in a crash or an unbounded read.
#include "documentfuzzing.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    DocumentKind kind = documentKind(bytes, true).value_or(DocumentKind::Text);
    if (kind != DocumentKind::Zip && kind != DocumentKind::Compressed)
        kind = size % 2 ? DocumentKind::Zip : DocumentKind::Compressed;
    readsAsDocument(bytes, kind);
    return 0;
}
