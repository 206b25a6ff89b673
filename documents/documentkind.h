#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

// What a file holds, as its first bytes tell it, whatever its name.
enum class DocumentKind {
    // Anything else, read by the text files' rules.
    Text,
    // A zip: an Office Open XML or OpenDocument file, or an archive of other files.
    Zip,
    Pdf,
    // One message with RFC 5322 headers that name MIME-Version or Content-Type.
    Mail,
    // Messages after "From " separator lines.
    Mailbox,
    // gzip, bzip2, xz or zstd, or a tar archive.
    Compressed,
};

// The kind of a file that starts with start; complete says that start is the whole file.
// Empty when more bytes are needed to tell (a mail's headers not ended yet).
std::optional<DocumentKind> documentKind(QByteArrayView start, bool complete);

// How many first bytes documentKind() needs at most to tell.
constexpr qsizetype documentKindLook = qsizetype(64) << 10;
