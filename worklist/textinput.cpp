#include "worklist/textinput.h"

#include "base/adrelioerror.h"
#include "base/fileerrors.h"
#include "base/utf8.h"
#include "worklist/textfile.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The longest mark, UTF-8's.
constexpr qsizetype longestMark = 3;
// A pipe that holds a megabyte lets its writer run ahead while the pieces are worked on.
constexpr int pipeSize = 1 << 20;

// How much of a stream's start tells whether it is UTF-8.
constexpr qsizetype streamLook = qsizetype(64) << 10;

// The length of bytes without the character that their end may cut short.
qsizetype wholeCharacters(QByteArrayView bytes)
{
    for (qsizetype back = 1; back <= longestMark + 1 && back <= bytes.size(); ++back) {
        const uchar byte = uchar(bytes[bytes.size() - back]);
        if ((byte & 0xC0) == 0x80)
            continue;
        const qsizetype length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
        return length > back ? bytes.size() - back : bytes.size();
    }
    return bytes.size();
}

bool dataWaiting(int fd)
{
    pollfd poller{fd, POLLIN, 0};
    return ::poll(&poller, 1, 0) > 0;
}

} // namespace

TextInput::TextInput(const QString &fileName)
    : m_fileName(fileName)
{
    const QByteArray path = QFile::encodeName(fileName);
    m_fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (m_fd < 0) {
        const int error = errno;
        throw AdrelioError(openErrorMessage(fileName, error));
    }
    m_ownsFd = true;
    struct stat status;
    int error = 0;
    if (::fstat(m_fd, &status) != 0)
        error = errno;
    else if (S_ISDIR(status.st_mode))
        error = EISDIR;
    if (error != 0) {
        ::close(m_fd);
        throw AdrelioError(openErrorMessage(fileName, error));
    }
    m_regularFile = S_ISREG(status.st_mode);
    if (m_regularFile)
        ::posix_fadvise(m_fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    else if (S_ISFIFO(status.st_mode))
        ::fcntl(m_fd, F_SETPIPE_SZ, pipeSize);
}

TextInput::TextInput(int fd, bool ownsFd, const QString &fileName, QByteArray head)
    : m_fd(fd), m_ownsFd(ownsFd), m_fileName(fileName), m_head(std::move(head))
{
    struct stat status;
    m_regularFile = ::fstat(m_fd, &status) == 0 && S_ISREG(status.st_mode);
    if (!m_regularFile)
        ::fcntl(m_fd, F_SETPIPE_SZ, pipeSize);
}

TextInput::TextInput(QByteArray bytes, qsizetype pieceSize)
    : m_memory(std::move(bytes)), m_pieceSize(qMax(pieceSize, qsizetype(1)))
{
}

TextInput::TextInput(QByteArray bytes)
    : m_memoryFile(true), m_memory(std::move(bytes)), m_pieceSize(m_memory.size() + 1)
{
}

TextInput TextInput::standardInput()
{
    return TextInput(STDIN_FILENO, false, QString());
}

TextInput TextInput::stream(int fd, bool ownsFd, const QString &fileName, QByteArray head)
{
    return TextInput(fd, ownsFd, fileName, std::move(head));
}

TextInput::TextInput(TextInput &&other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)),
      m_ownsFd(std::exchange(other.m_ownsFd, false)),
      m_regularFile(other.m_regularFile),
      m_memoryFile(other.m_memoryFile),
      m_markSize(other.m_markSize),
      m_fileName(std::move(other.m_fileName)),
      m_memory(std::move(other.m_memory)),
      m_memoryOffset(other.m_memoryOffset),
      m_pieceSize(other.m_pieceSize),
      m_started(other.m_started),
      m_encoding(other.m_encoding),
      m_start(std::move(other.m_start)),
      m_head(std::move(other.m_head))
{
}

TextInput::~TextInput()
{
    if (m_ownsFd)
        ::close(m_fd);
}

// The mark is found from the first bytes; those after it are kept for the first read().
TextEncoding TextInput::encoding()
{
    if (m_started)
        return m_encoding;
    char start[longestMark];
    qsizetype size = 0;
    for (;;) {
        const qsizetype count = readRaw(start + size, 1);
        if (count == 0)
            break;
        size += count;
        const uchar first = uchar(start[0]);
        const qsizetype needed = first == 0xEF ? 3 : first == 0xFF || first == 0xFE ? 2 : 1;
        if (size >= needed)
            break;
    }
    qsizetype markSize = 0;
    m_encoding = encodingOfMark(QByteArrayView(start, size), &markSize);
    m_markSize = markSize;
    m_start = QByteArray(start + markSize, size - markSize);
    m_started = true;
    if (m_encoding == TextEncoding::System && !bodyIsUtf8())
        m_encoding = TextEncoding::Windows1252;
    return m_encoding;
}

// A file's whole body is looked at, on every core. What a stream brings later cannot be
// waited for, so a stream is judged by what it holds at its start: the bytes that have
// come when it is first read, up to streamLook, kept for the reads that follow; a stream
// that has ended by then is judged whole.
bool TextInput::bodyIsUtf8()
{
    if (isSeekable()) {
        qint64 size = m_memory.size();
        struct stat status;
        if (m_fd >= 0)
            size = ::fstat(m_fd, &status) == 0 ? status.st_size : 0;
        return isWellFormedUtf8(qMax<qint64>(size - m_markSize, 0),
                                [this](char *buffer, qsizetype room, qint64 offset) {
                                    return readAt(buffer, room, offset);
                                });
    }
    qsizetype size = m_start.size();
    m_start.resize(size + streamLook);
    bool ended = false;
    while (size < m_start.size()) {
        const qsizetype count = readRaw(m_start.data() + size, m_start.size() - size);
        if (count == 0) {
            ended = true;
            break;
        }
        size += count;
        // Bytes held in memory are all there at once, up to their end.
        if (m_fd >= 0 && !dataWaiting(m_fd))
            break;
    }
    m_start.truncate(size);
    QByteArrayView start(m_start);
    if (!ended)
        start = start.first(wholeCharacters(start));
    return start.isValidUtf8();
}

qsizetype TextInput::read(char *buffer, qsizetype size)
{
    encoding();
    if (!m_start.isEmpty()) {
        const qsizetype count = qMin(size, m_start.size());
        std::memcpy(buffer, m_start.constData(), size_t(count));
        m_start.remove(0, count);
        return count;
    }
    return readRaw(buffer, size);
}

bool TextInput::isSeekable() const
{
    return m_regularFile || m_memoryFile;
}

qsizetype TextInput::readAt(char *buffer, qsizetype size, qint64 offset)
{
    encoding();
    offset += m_markSize;
    if (m_fd < 0) {
        const qsizetype count = qBound(qint64(0), m_memory.size() - offset, qint64(size));
        if (count > 0)
            std::memcpy(buffer, m_memory.constData() + offset, size_t(count));
        return count;
    }
    qsizetype done = 0;
    while (done < size) {
        const ssize_t count = ::pread(m_fd, buffer + done, size_t(size - done), offset + done);
        if (count < 0) {
            if (errno == EINTR)
                continue;
            throwReadError(errno);
        }
        if (count == 0)
            break;
        done += count;
    }
    return done;
}

qsizetype TextInput::readRaw(char *buffer, qsizetype size)
{
    if (!m_head.isEmpty()) {
        const qsizetype count = qMin(size, m_head.size());
        std::memcpy(buffer, m_head.constData(), size_t(count));
        m_head.remove(0, count);
        return count;
    }
    if (m_fd < 0) {
        const qsizetype count = std::min({size, m_pieceSize, m_memory.size() - m_memoryOffset});
        std::memcpy(buffer, m_memory.constData() + m_memoryOffset, size_t(count));
        m_memoryOffset += count;
        return count;
    }
    qsizetype done = 0;
    while (done < size) {
        const ssize_t count = ::read(m_fd, buffer + done, size_t(size - done));
        if (count < 0) {
            if (errno == EINTR)
                continue;
            throwReadError(errno);
        }
        if (count == 0)
            break;
        done += count;
        // A file goes on until the buffer is full; a pipe or a device only while more is
        // there already.
        if (!m_regularFile && !dataWaiting(m_fd))
            break;
    }
    return done;
}

void TextInput::throwReadError(int error) const
{
    if (m_fileName.isEmpty())
        throw AdrelioError(QStringLiteral("Impossible de lire l'entrée standard. %1")
                                   .arg(systemErrorText(error)));
    throw AdrelioError(readErrorMessage(m_fileName, error));
}
