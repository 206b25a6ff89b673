// The mail and mailbox reader over any bytes: the text they give is well-formed UTF-8
// made of whole lines, and bad input ends in a DocumentFailure, never in a crash or an
// unbounded read.
#include "documentfuzzing.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    readsAsDocument(bytes, bytes.startsWith("From ") ? DocumentKind::Mailbox : DocumentKind::Mail);
    return 0;
}
