#include "worklist/textfile.h"

#include "base/adrelioerror.h"
#include "base/fileerrors.h"
#include "base/utf8.h"
#include "base/windows1252.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>
#include <QtEndian>

#include <cerrno>
#include <cstring>
#include <memory>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qint64 chunkBytes = 4 * 1024 * 1024;
// Line counts and offsets are 32-bit in the working list: larger files are refused.
constexpr qint64 maxFileSize = qint64(1) << 31;

const char utf8Mark[] = "\xEF\xBB\xBF";
const char utf16LeMark[] = "\xFF\xFE";
const char utf16BeMark[] = "\xFE\xFF";

class FileDescriptor
{
public:
    explicit FileDescriptor(int fd) : m_fd(fd) { }
    ~FileDescriptor() { ::close(m_fd); }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;

    int get() const { return m_fd; }

private:
    int m_fd;
};

// Copies count UTF-16 units stored in the given byte order.
void copyUtf16(const char *source, qsizetype count, char16_t *target, bool bigEndian)
{
    if (bigEndian)
        qFromBigEndian<char16_t>(source, count, target);
    else
        qFromLittleEndian<char16_t>(source, count, target);
}

// One pass over the decoded text: CR LF, lone CR and lone LF each become one '\n', and
// U+0000 a space, so that nothing after a NUL is lost.
void normalizeBreaks(QString &text, const Progress &progress)
{
    char16_t *data = reinterpret_cast<char16_t *>(text.data());
    const qsizetype size = text.size();
    qsizetype out = 0;
    for (qsizetype in = 0; in < size; ++in) {
        char16_t c = data[in];
        if (c == u'\r') {
            c = u'\n';
            if (in + 1 < size && data[in + 1] == u'\n')
                ++in;
        } else if (c == 0) {
            c = u' ';
        }
        data[out++] = c;
        if ((in & (chunkBytes - 1)) == 0)
            reportProgress(progress, in, size);
    }
    text.truncate(out);
}

QByteArray markOf(TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Utf16LittleEndian:
        return QByteArray(utf16LeMark, 2);
    case TextEncoding::Utf16BigEndian:
        return QByteArray(utf16BeMark, 2);
    default:
        return QByteArray(utf8Mark, 3);
    }
}

// QSaveFile would rename its temporary file over a read-only target or into a folder the
// user may not write, so these cases are refused before anything is written, with the
// system's reason. The checks look at the file a symbolic link points to, which is the
// one QSaveFile replaces.
void checkCreatable(const QString &fileName)
{
    QString target = fileName;
    const QFileInfo info(fileName);
    if (info.isSymLink() && !info.canonicalFilePath().isEmpty())
        target = info.canonicalFilePath();
    const QByteArray path = QFile::encodeName(target);
    const QByteArray folder = QFile::encodeName(QFileInfo(target).absolutePath());

    int error = 0;
    struct stat status;
    if (::stat(path.constData(), &status) == 0) {
        if (S_ISDIR(status.st_mode))
            error = EISDIR;
        else if (!S_ISREG(status.st_mode))
            error = EINVAL;
        else if (::faccessat(AT_FDCWD, path.constData(), W_OK, AT_EACCESS) != 0)
            error = errno;
    } else if (errno != ENOENT) {
        error = errno;
    }
    if (error == 0) {
        if (::stat(folder.constData(), &status) != 0)
            error = errno;
        else if (!S_ISDIR(status.st_mode))
            error = ENOTDIR;
        else if (::faccessat(AT_FDCWD, folder.constData(), W_OK | X_OK, AT_EACCESS) != 0)
            error = errno;
    }
    if (error != 0)
        throw AdrelioError(createErrorMessage(fileName, error));
}

// Copies the first size bytes of one open file over the start of another.
bool copyBytes(int from, int to, qint64 size)
{
    QByteArray buffer(qMin(size, chunkBytes), Qt::Uninitialized);
    for (qint64 done = 0; done < size;) {
        const size_t room = size_t(qMin<qint64>(size - done, buffer.size()));
        const ssize_t got = ::pread(from, buffer.data(), room, done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        for (ssize_t put = 0; put < got;) {
            const ssize_t n = ::pwrite(to, buffer.constData() + put, size_t(got - put), done + put);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            put += n;
        }
        done += got;
    }
    return true;
}

// Gives the new file the owner and group of the one it replaces, when the process may; a
// change of owner clears the set-user-ID and set-group-ID bits, which are put back.
bool keepsOwner(int fd, const struct stat &replaced)
{
    struct stat own;
    if (::fstat(fd, &own) != 0)
        return false;
    if (own.st_uid == replaced.st_uid && own.st_gid == replaced.st_gid)
        return true;
    return ::fchown(fd, replaced.st_uid, replaced.st_gid) == 0
            && ::fchmod(fd, replaced.st_mode & 07777) == 0;
}

// The new text goes to a temporary file beside the target, QSaveFile's, which then takes
// the target's place with the target's owner and group. A target whose owner or group the
// process may not give, or that has other hard links, which would go on naming the old
// text, is rewritten in place instead, as editors do (vim's backupcopy=auto): the new text
// is written whole and synced to a temporary copy, the old contents are copied beside it,
// and they go back if the rewrite fails. Either way the target ends up holding the new
// text or what it held.
class TextWriter
{
public:
    TextWriter(const QString &fileName, qint64 total, const Progress &progress)
        : m_file(fileName), m_total(total), m_progress(progress)
    {
        struct stat replaced;
        const bool replaces = ::stat(QFile::encodeName(fileName).constData(), &replaced) == 0;
        if (!replaces || replaced.st_nlink == 1) {
            if (!m_file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
                const int error = errno;
                throw AdrelioError(createErrorMessage(fileName, error ? error : EACCES));
            }
            if (!replaces || keepsOwner(m_file.handle(), replaced))
                return;
            m_file.cancelWriting();
        }
        m_copyTemplate = QFileInfo(fileName).canonicalFilePath() + QStringLiteral(".XXXXXX");
        m_copy = std::make_unique<QTemporaryFile>(m_copyTemplate);
        if (!m_copy->open()) {
            const int error = errno;
            throw AdrelioError(createErrorMessage(fileName, error ? error : EACCES));
        }
    }

    void write(const char *data, qint64 size)
    {
        if (output().write(data, size) != size)
            fail();
    }

    void progress(qint64 done) { reportProgress(m_progress, done, m_total); }

    // flush() before commit(): commit() can report success after its own final flush
    // failed. fsync() makes a full disk or quota show here rather than after the rename.
    void commit(const QString &fileName)
    {
        if (!output().flush() || ::fsync(output().handle()) != 0)
            fail();
        if (m_copy) {
            rewriteInPlace(fileName);
            return;
        }
        if (!m_file.commit()) {
            const int error = errno;
            throw AdrelioError(createErrorMessage(fileName, error ? error : EIO));
        }
    }

private:
    QFileDevice &output() { return m_copy ? static_cast<QFileDevice &>(*m_copy) : m_file; }

    void rewriteInPlace(const QString &fileName)
    {
        const int fd = ::open(QFile::encodeName(fileName).constData(), O_RDWR | O_CLOEXEC);
        if (fd < 0) {
            const int error = errno;
            throw AdrelioError(createErrorMessage(fileName, error));
        }
        const FileDescriptor target(fd);
        struct stat old;
        QTemporaryFile backup(m_copyTemplate);
        if (::fstat(fd, &old) != 0 || !backup.open() || !copyBytes(fd, backup.handle(), old.st_size)
            || ::fsync(backup.handle()) != 0)
            fail();
        const qint64 size = m_copy->size();
        if (copyBytes(m_copy->handle(), fd, size) && ::ftruncate(fd, size) == 0 && ::fsync(fd) == 0)
            return;
        copyBytes(backup.handle(), fd, old.st_size);
        if (::ftruncate(fd, old.st_size) == 0)
            ::fsync(fd);
        fail();
    }

    [[noreturn]] void fail()
    {
        if (!m_copy)
            m_file.cancelWriting();
        throw AdrelioError(writeErrorMessage());
    }

    QSaveFile m_file;
    std::unique_ptr<QTemporaryFile> m_copy;
    QString m_copyTemplate;
    qint64 m_total;
    const Progress &m_progress;
};

} // namespace

// Without huge pages, first touching a fresh buffer of hundreds of megabytes costs more
// than reading the file into it, on kernels whose huge-page policy is "madvise".
static void adviseHugePages(char *data, qint64 size)
{
    constexpr quintptr hugePage = 2 * 1024 * 1024;
    const quintptr begin = (quintptr(data) + hugePage - 1) & ~(hugePage - 1);
    const quintptr end = (quintptr(data) + quintptr(size)) & ~(hugePage - 1);
    if (end > begin)
        ::madvise(reinterpret_cast<void *>(begin), end - begin, MADV_HUGEPAGE);
}

RawTextFile readTextFile(const QString &fileName, const Progress &progress)
{
    const QByteArray path = QFile::encodeName(fileName);
    // O_NONBLOCK: opening a FIFO or a device must not wait; they are refused below.
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        throw AdrelioError(openErrorMessage(fileName, error));
    }
    const FileDescriptor file(fd);

    struct stat status;
    if (::fstat(fd, &status) != 0) {
        const int error = errno;
        throw AdrelioError(openErrorMessage(fileName, error));
    }
    if (S_ISDIR(status.st_mode))
        throw AdrelioError(openErrorMessage(fileName, EISDIR));
    if (!S_ISREG(status.st_mode))
        throw AdrelioError(openErrorMessage(fileName, EINVAL));
    if (status.st_size >= maxFileSize)
        throw AdrelioError(openErrorMessage(fileName, EFBIG));

    const qint64 size = status.st_size;
    QByteArray bytes(size, Qt::Uninitialized);
    adviseHugePages(bytes.data(), size);
    const auto readSome = [&](char *buffer, qint64 room) {
        for (;;) {
            const ssize_t n = ::read(fd, buffer, size_t(qMin(room, chunkBytes)));
            if (n >= 0)
                return qint64(n);
            if (errno != EINTR) {
                const int error = errno;
                throw AdrelioError(readErrorMessage(fileName, error));
            }
        }
    };
    qint64 done = 0;
    while (done < size) {
        const qint64 n = readSome(bytes.data() + done, size - done);
        if (n == 0)
            break;
        done += n;
        reportProgress(progress, done, size);
    }
    bytes.truncate(done);
    // A file is read to its end, past the size it announced: a /proc file announces 0, and
    // a file may grow while it is read.
    if (done == size) {
        char more[64 * 1024];
        while (const qint64 n = readSome(more, sizeof more)) {
            if (bytes.size() + n >= maxFileSize)
                throw AdrelioError(openErrorMessage(fileName, EFBIG));
            bytes.append(more, n);
        }
    }
    return rawTextFromBytes(std::move(bytes));
}

TextEncoding encodingOfMark(QByteArrayView start, qsizetype *markSize)
{
    if (start.startsWith(QByteArrayView(utf8Mark, 3))) {
        *markSize = 3;
        return TextEncoding::Utf8;
    }
    *markSize = 2;
    if (start.startsWith(QByteArrayView(utf16LeMark, 2)))
        return TextEncoding::Utf16LittleEndian;
    if (start.startsWith(QByteArrayView(utf16BeMark, 2)))
        return TextEncoding::Utf16BigEndian;
    *markSize = 0;
    return TextEncoding::System;
}

RawTextFile rawTextFromBytes(QByteArray bytes)
{
    RawTextFile file{std::move(bytes), TextEncoding::System, 0};
    file.encoding = encodingOfMark(file.bytes, &file.bodyStart);
    if (file.encoding == TextEncoding::System && !isWellFormedUtf8(file.bytes))
        file.encoding = TextEncoding::Windows1252;
    return file;
}

QString decodeText(const RawTextFile &file, const Progress &progress)
{
    const QByteArrayView body = QByteArrayView(file.bytes).sliced(file.bodyStart);
    QString text;
    if (file.encoding == TextEncoding::Utf16LittleEndian || file.encoding == TextEncoding::Utf16BigEndian) {
        const qsizetype units = body.size() / 2;
        text.resize(units);
        copyUtf16(body.data(), units, reinterpret_cast<char16_t *>(text.data()),
                  file.encoding == TextEncoding::Utf16BigEndian);
    } else if (file.encoding == TextEncoding::Windows1252) {
        text = decodeMixedText(body);
    } else {
        // A second mark after the one already skipped is text, as any other character.
        text = decodeUtf8(body);
    }
    normalizeBreaks(text, progress);
    return text;
}

// CR and LF are bytes that no multi-byte character of UTF-8 holds, and Windows-1252 has a
// character a byte, so each line of the body decodes alone as it decodes within the whole
// body.
QStringList decodeParagraphs(const RawTextFile &file, const Progress &progress)
{
    if (file.encoding == TextEncoding::Utf16LittleEndian
        || file.encoding == TextEncoding::Utf16BigEndian)
        return decodeText(file, progress).split(u'\n');

    const bool windows1252 = file.encoding == TextEncoding::Windows1252;
    const char *const begin = file.bytes.constData() + file.bodyStart;
    const char *const end = file.bytes.constData() + file.bytes.size();
    QStringList paragraphs;
    // About one line in forty bytes of text; a list grows by doubling beyond that.
    paragraphs.reserve((end - begin) / 40 + 1);
    qsizetype nextReport = 0;
    for (const char *p = begin;;) {
        const auto *lf = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)));
        const char *lineEnd = lf ? lf : end;
        const auto *cr = static_cast<const char *>(std::memchr(p, '\r', size_t(lineEnd - p)));
        if (cr)
            lineEnd = cr;
        QString line = windows1252 ? decodeMixedText(QByteArrayView(p, lineEnd))
                                   : decodeUtf8(QByteArrayView(p, lineEnd));
        if (std::memchr(p, 0, size_t(lineEnd - p)))
            line.replace(QChar(0), QChar(u' '));
        paragraphs.append(std::move(line));
        if (lineEnd == end)
            break;
        p = lineEnd + (cr && lineEnd + 1 < end && lineEnd[1] == '\n' ? 2 : 1);
        if (p - begin >= nextReport) {
            reportProgress(progress, p - begin, end - begin);
            nextReport = p - begin + chunkBytes;
        }
    }
    return paragraphs;
}

void writeTextFile(const QString &fileName, QStringView text, TextEncoding encoding,
                   const Progress &progress)
{
    checkCreatable(fileName);
    TextWriter writer(fileName, text.size(), progress);
    const QByteArray mark = markOf(encoding);
    writer.write(mark.constData(), mark.size());

    constexpr qsizetype chunkUnits = chunkBytes / 2;
    QByteArray buffer;
    for (qsizetype start = 0; start < text.size();) {
        qsizetype count = qMin(chunkUnits, text.size() - start);
        // A surrogate pair stays in one chunk so that UTF-8 encodes it whole.
        if (start + count < text.size() && text.at(start + count - 1).isHighSurrogate())
            --count;
        const QStringView chunk = text.sliced(start, count);
        switch (encoding) {
        case TextEncoding::Utf16LittleEndian:
        case TextEncoding::Utf16BigEndian:
            buffer.resize(count * 2);
            if (encoding == TextEncoding::Utf16LittleEndian)
                qToLittleEndian<char16_t>(chunk.utf16(), count, buffer.data());
            else
                qToBigEndian<char16_t>(chunk.utf16(), count, buffer.data());
            break;
        default:
            buffer = chunk.toUtf8();
            break;
        }
        writer.write(buffer.constData(), buffer.size());
        start += count;
        writer.progress(start);
    }
    writer.commit(fileName);
}
