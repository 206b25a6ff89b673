#include "documents/archivefile.h"

#include <QFile>

#include <archive.h>
#include <archive_entry.h>

#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qsizetype blockSize = 64 * 1024;

[[noreturn]] void damaged()
{
    throw DocumentFailure{DocumentFault::Damaged};
}

} // namespace

ArchiveFile::ArchiveFile(const DocumentSource &source, Format format, DocumentText &text)
    : m_archive(archive_read_new()), m_source(source), m_text(text)
{
    if (!m_archive)
        throw std::bad_alloc();
    if (format == Format::Zip) {
        archive_read_support_format_zip_seekable(m_archive);
    } else {
        archive_read_support_filter_all(m_archive);
        archive_read_support_format_tar(m_archive);
        archive_read_support_format_raw(m_archive);
        archive_read_support_format_empty(m_archive);
    }
    int result;
    if (source.isStream()) {
        result = archive_read_open(m_archive, this, nullptr, &ArchiveFile::readStream, nullptr);
    } else if (source.isFile()) {
        result = archive_read_open_filename(m_archive, QFile::encodeName(source.fileName).constData(),
                                            size_t(blockSize));
    } else {
        result = archive_read_open_memory(m_archive, source.bytes.constData(),
                                          size_t(source.bytes.size()));
    }
    if (result != ARCHIVE_OK) {
        archive_read_free(m_archive);
        damaged();
    }
}

ArchiveFile::~ArchiveFile()
{
    archive_read_free(m_archive);
}

// A stream's first bytes were read to tell its kind: they come first.
long ArchiveFile::readStream(archive *, void *self, const void **buffer)
{
    auto *file = static_cast<ArchiveFile *>(self);
    if (!file->m_headGiven) {
        file->m_headGiven = true;
        if (!file->m_source.head.isEmpty()) {
            *buffer = file->m_source.head.constData();
            return file->m_source.head.size();
        }
    }
    file->m_streamBuffer.resize(blockSize);
    for (;;) {
        const ssize_t count = ::read(file->m_source.fd, file->m_streamBuffer.data(), size_t(blockSize));
        if (count < 0 && errno == EINTR)
            continue;
        *buffer = file->m_streamBuffer.constData();
        return count;
    }
}

bool ArchiveFile::nextEntry()
{
    const int result = archive_read_next_header(m_archive, &m_entry);
    if (result == ARCHIVE_EOF)
        return false;
    if (result < ARCHIVE_WARN)
        damaged();
    // The first bytes named a compression or a tar that no reader of libarchive took (a
    // file cut inside its header): the raw reader would give those bytes themselves.
    if (archive_format(m_archive) == ARCHIVE_FORMAT_RAW && archive_filter_count(m_archive) <= 1)
        damaged();
    return true;
}

void ArchiveFile::moveToEntry(qsizetype index)
{
    for (qsizetype i = 0; i <= index; ++i) {
        if (!nextEntry())
            damaged();
    }
}

QString ArchiveFile::entryName() const
{
    const char *name = archive_entry_pathname_utf8(m_entry);
    if (!name)
        name = archive_entry_pathname(m_entry);
    return name ? QString::fromUtf8(name) : QString();
}

bool ArchiveFile::entryIsFile() const
{
    return archive_entry_filetype(m_entry) == AE_IFREG || archive_entry_filetype(m_entry) == 0;
}

qsizetype ArchiveFile::read(char *buffer, qsizetype size)
{
    if (archive_entry_is_encrypted(m_entry))
        throw DocumentFailure{DocumentFault::Protected};
    const la_ssize_t count = archive_read_data(m_archive, buffer, size_t(size));
    if (count < 0) {
        if (archive_read_has_encrypted_entries(m_archive) > 0)
            throw DocumentFailure{DocumentFault::Protected};
        damaged();
    }
    m_text.countInflated(count);
    if (m_source.isStream())
        m_text.setInputSize(bytesRead());
    m_text.reportProgress(bytesRead());
    return count;
}

QByteArray ArchiveFile::readAll()
{
    QByteArray bytes;
    for (;;) {
        const qsizetype size = bytes.size();
        bytes.resize(size + blockSize);
        const qsizetype count = read(bytes.data() + size, blockSize);
        bytes.resize(size + count);
        if (count == 0)
            return bytes;
    }
}

qint64 ArchiveFile::bytesRead() const
{
    return archive_filter_bytes(m_archive, -1);
}
