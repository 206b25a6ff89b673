// The mail and mailbox reader over any bytes: the text they give is well-formed UTF-8
// made of whole lines, and bad input ends in a DocumentFailure, never in a crash or an
// unbounded read. A mailbox is read whole, then in pieces of 1 to 64 bytes (as the input's
// size says) on several threads: both fail alike or give the same text.
#include "documentfuzzing.h"

#include "documents/mailreader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    if (!bytes.startsWith("From ")) {
        readsAsDocument(bytes, DocumentKind::Mail);
        return 0;
    }
    MailReader::setPieceSize(bytes.size() + 1);
    QByteArray whole;
    const bool read = readsAsDocument(bytes, DocumentKind::Mailbox, &whole);
    MailReader::setPieceSize(qsizetype(size % 64) + 1);
    QByteArray pieces;
    require(readsAsDocument(bytes, DocumentKind::Mailbox, &pieces) == read, "pieces fail as the whole does");
    require(pieces == whole, "pieces give the text of the whole");
    return 0;
}
