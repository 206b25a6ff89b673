#include "documents/documentkind.h"

namespace {

bool startsWith(QByteArrayView bytes, qsizetype offset, QByteArrayView magic)
{
    return bytes.size() >= offset + magic.size() && bytes.sliced(offset, magic.size()) == magic;
}

// A header line's name: printable ASCII but the colon, then the colon.
qsizetype headerNameLength(QByteArrayView line)
{
    qsizetype i = 0;
    while (i < line.size() && uchar(line[i]) > 32 && uchar(line[i]) < 127 && line[i] != ':')
        ++i;
    return i > 0 && i < line.size() && line[i] == ':' ? i : 0;
}

bool namesMimeHeader(QByteArrayView line, qsizetype nameLength)
{
    const QByteArrayView name = line.first(nameLength);
    return name.compare("MIME-Version", Qt::CaseInsensitive) == 0
            || name.compare("Content-Type", Qt::CaseInsensitive) == 0;
}

// Headers up to a blank line, one of them MIME-Version or Content-Type; a stream whose
// look ends inside them is judged on the lines it holds.
std::optional<DocumentKind> mailKind(QByteArrayView start, bool complete)
{
    bool mime = false;
    qsizetype at = 0;
    for (bool first = true;; first = false) {
        const qsizetype lf = start.indexOf('\n', at);
        if (lf < 0) {
            if (complete || start.size() >= documentKindLook)
                return mime && at > 0 ? DocumentKind::Mail : DocumentKind::Text;
            const QByteArrayView rest = start.sliced(at);
            const qsizetype name = headerNameLength(rest);
            const bool mayBeHeader = (!first && (rest.startsWith(' ') || rest.startsWith('\t')))
                    || name > 0 || headerNameLength(rest.toByteArray() + ':') == rest.size();
            if (!mayBeHeader)
                return DocumentKind::Text;
            return std::nullopt;
        }
        QByteArrayView line = start.sliced(at, lf - at);
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty())
            return mime && !first ? DocumentKind::Mail : DocumentKind::Text;
        if (!first && (line.startsWith(' ') || line.startsWith('\t'))) {
            at = lf + 1;
            continue;
        }
        const qsizetype name = headerNameLength(line);
        if (name == 0)
            return DocumentKind::Text;
        mime = mime || namesMimeHeader(line, name);
        at = lf + 1;
    }
}

// "From " and a header line after it.
std::optional<DocumentKind> mailboxKind(QByteArrayView start, bool complete)
{
    const qsizetype lf = start.indexOf('\n');
    if (lf < 0)
        return complete ? std::optional(DocumentKind::Text) : std::nullopt;
    const QByteArrayView next = start.sliced(lf + 1);
    const qsizetype nextLf = next.indexOf('\n');
    if (nextLf < 0 && !complete && next.size() < 1000 && !next.contains(' '))
        return std::nullopt;
    return headerNameLength(next.first(nextLf < 0 ? next.size() : nextLf)) > 0
            ? DocumentKind::Mailbox : DocumentKind::Text;
}

} // namespace

std::optional<DocumentKind> documentKind(QByteArrayView start, bool complete)
{
    if (startsWith(start, 0, "PK\x03\x04") || startsWith(start, 0, "PK\x05\x06"))
        return DocumentKind::Zip;
    if (startsWith(start, 0, "%PDF-"))
        return DocumentKind::Pdf;
    if (startsWith(start, 0, "\x1F\x8B") || startsWith(start, 0, QByteArrayView("\xFD" "7zXZ\0", 6))
        || startsWith(start, 0, "\x28\xB5\x2F\xFD")
        || (startsWith(start, 0, "BZh") && start.size() >= 10 && start[3] >= '1' && start[3] <= '9'
            && (startsWith(start, 4, "\x31\x41\x59\x26\x53\x59")
                || startsWith(start, 4, "\x17\x72\x45\x38\x50\x90"))))
        return DocumentKind::Compressed;
    if (startsWith(start, 257, "ustar"))
        return DocumentKind::Compressed;
    // A tar header opens with a file name padded with NUL bytes, and holds no line break.
    const bool mayBeTar = start.size() < 262 && !complete && !start.contains('\n');
    if (startsWith(start, 0, "From ")) {
        const std::optional<DocumentKind> kind = mailboxKind(start, complete);
        return kind || !mayBeTar ? kind : std::nullopt;
    }
    const std::optional<DocumentKind> kind = mailKind(start, complete);
    if (kind == DocumentKind::Text && mayBeTar)
        return std::nullopt;
    return kind;
}
