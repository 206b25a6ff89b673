#pragma once

#include "documents/documentsource.h"
#include "documents/documenttext.h"

#include <QByteArray>
#include <QString>

struct archive;
struct archive_entry;

// One pass of libarchive over an archive, entry after entry, each read a piece at a time.
// A zip is read through its central directory, which needs a file or bytes in memory; the
// other formats (tar, and a single file compressed by gzip, bzip2, xz or zstd, as one
// entry) are read as a stream. Every inflated byte counts in the text's limits. Throws
// DocumentFailure Damaged when the archive is damaged or truncated, Protected when the
// entry being read is encrypted.
class ArchiveFile
{
public:
    enum class Format { Zip, Stream };

    ArchiveFile(const DocumentSource &source, Format format, DocumentText &text);
    ~ArchiveFile();
    ArchiveFile(const ArchiveFile &) = delete;
    ArchiveFile &operator=(const ArchiveFile &) = delete;

    // Moves to the next entry; false after the last.
    bool nextEntry();
    // Moves to the entry that comes index entries after the first.
    void moveToEntry(qsizetype index);
    QString entryName() const;
    bool entryIsFile() const;

    // Up to size bytes of the entry; 0 at its end.
    qsizetype read(char *buffer, qsizetype size);
    // The rest of the entry.
    QByteArray readAll();

    // The archive's own bytes read so far.
    qint64 bytesRead() const;

private:
    static long readStream(archive *, void *self, const void **buffer);

    archive *m_archive;
    archive_entry *m_entry = nullptr;
    const DocumentSource &m_source;
    DocumentText &m_text;
    QByteArray m_streamBuffer;
    bool m_headGiven = false;
};
