// The mail and mailbox reader over any bytes: the text they give is
// well-formed UTF-8 made of whole lines, and bad input ends in a DocumentFailure, never
// in a crash or an unbounded read.
#include "fuzzsupport.h"

#include "documents/documentkind.h"
#include "documents/documentreader.h"
#include "documents/documenttext.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    DocumentSource source;
    source.bytes = QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
    const Progress progress;
    DocumentText text(source.bytes.size(), progress);
    const DocumentKind kind = source.bytes.startsWith("From ") ? DocumentKind::Mailbox
                                                                : DocumentKind::Mail;
    try {
        DocumentReader::readNested(source, kind, text);
    } catch (const DocumentFailure &) {
        return 0;
    }
    const QByteArray result = text.take();
    require(QByteArrayView(result).isValidUtf8(), "the text is UTF-8");
    require(result.isEmpty() || result.endsWith('\n'), "the text is whole lines");
    return 0;
}
