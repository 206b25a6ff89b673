#include "documents/documentreader.h"

#include "base/adrelioerror.h"
#include "base/fileerrors.h"
#include "documents/archivereader.h"
#include "documents/documenttext.h"
#include "documents/mailreader.h"
#include "documents/pdfprocess.h"

#include <QFile>

#include <cerrno>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// An archive in an archive in an archive is read; one more level is refused.
constexpr int maxDepth = 3;
constexpr qint64 maxWholeSize = qint64(2) << 30;

QString reasonOf(const DocumentFailure &failure)
{
    switch (failure.fault) {
    case DocumentFault::Protected:
        return QStringLiteral("document protégé par un mot de passe");
    case DocumentFault::TooLarge:
        return QStringLiteral("archive trop volumineuse une fois décompressée");
    case DocumentFault::TooDeep:
        return QStringLiteral("archives imbriquées sur plus de 3 niveaux");
    case DocumentFault::SystemError:
        return systemErrorText(failure.error);
    case DocumentFault::Damaged:
        break;
    }
    return QStringLiteral("fichier endommagé");
}

QString documentErrorMessage(const QString &name, const DocumentFailure &failure)
{
    if (name.isEmpty())
        return QStringLiteral("Impossible de lire le document de l'entrée standard. %1")
                .arg(reasonOf(failure));
    return QStringLiteral("Impossible de lire le document \"%1\". %2")
            .arg(fullPath(name), reasonOf(failure));
}

[[noreturn]] void throwReadError(const QString &name, int error)
{
    if (name.isEmpty())
        throw AdrelioError(QStringLiteral("Impossible de lire l'entrée standard. %1")
                                   .arg(systemErrorText(error)));
    throw AdrelioError(readErrorMessage(name, error));
}

// Reads up to size bytes, as many as there are now once at least one has come; 0 at the
// end.
qsizetype readSome(int fd, char *buffer, qsizetype size, const QString &name)
{
    for (;;) {
        const ssize_t count = ::read(fd, buffer, size_t(size));
        if (count >= 0)
            return count;
        if (errno != EINTR)
            throwReadError(name, errno);
    }
}

// Readers that need the whole file (a zip's central directory is at its end, a PDF's
// cross-reference table too) take a stream's bytes into memory.
DocumentSource wholeSource(int fd, const QByteArray &head, const QString &name)
{
    DocumentSource source;
    source.bytes = head;
    for (;;) {
        const qsizetype size = source.bytes.size();
        if (size > maxWholeSize)
            throw AdrelioError(documentErrorMessage(name, {DocumentFault::TooLarge}));
        source.bytes.resize(size + (1 << 20));
        const qsizetype count = readSome(fd, source.bytes.data() + size, 1 << 20, name);
        source.bytes.resize(size + count);
        if (count == 0)
            return source;
    }
}

class Nesting
{
public:
    explicit Nesting(DocumentText &text) : m_text(text) { m_text.enter(); }
    ~Nesting() { m_text.leave(); }
    Nesting(const Nesting &) = delete;
    Nesting &operator=(const Nesting &) = delete;

private:
    DocumentText &m_text;
};

} // namespace

DocumentKind DocumentReader::kindOfFile(const QString &fileName)
{
    // O_NONBLOCK: a FIFO must not wait for a writer here.
    const int fd = ::open(QFile::encodeName(fileName).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return DocumentKind::Text;
    struct stat status;
    QByteArray start;
    if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode)) {
        start.resize(qMin<qint64>(documentKindLook, status.st_size));
        const ssize_t count = ::pread(fd, start.data(), size_t(start.size()), 0);
        start.resize(qMax<ssize_t>(count, 0));
    }
    ::close(fd);
    if (start.isEmpty())
        return DocumentKind::Text;
    return documentKind(start, start.size() < documentKindLook).value_or(DocumentKind::Text);
}

RawTextFile DocumentReader::readFile(const QString &fileName, DocumentKind kind,
                                     const Progress &progress)
{
    struct stat status;
    const QByteArray path = QFile::encodeName(fileName);
    if (::stat(path.constData(), &status) != 0) {
        const int error = errno;
        throw AdrelioError(openErrorMessage(fileName, error));
    }
    if (::access(path.constData(), R_OK) != 0) {
        const int error = errno;
        throw AdrelioError(openErrorMessage(fileName, error));
    }
    DocumentSource source;
    source.fileName = fileName;
    return read(source, kind, status.st_size, fileName, progress);
}

DocumentReader::StreamStart DocumentReader::readStreamStart(int fd, const QString &name)
{
    StreamStart start;
    QByteArray &head = start.head;
    for (;;) {
        const qsizetype size = head.size();
        head.resize(documentKindLook);
        const qsizetype count = readSome(fd, head.data() + size, documentKindLook - size, name);
        head.resize(size + count);
        if (const std::optional<DocumentKind> kind = documentKind(head, count == 0)) {
            start.kind = *kind;
            return start;
        }
    }
}

RawTextFile DocumentReader::readStream(int fd, const StreamStart &start, const QString &name)
{
    DocumentSource source;
    if (start.kind == DocumentKind::Zip || start.kind == DocumentKind::Pdf) {
        source = wholeSource(fd, start.head, name);
    } else {
        source.fd = fd;
        source.head = start.head;
    }
    return read(source, start.kind, qMax(source.bytes.size(), start.head.size()), name, {});
}

RawTextFile DocumentReader::read(const DocumentSource &source, DocumentKind kind, qint64 size,
                                 const QString &name, const Progress &progress)
{
    DocumentText text(size, progress);
    try {
        readNested(source, kind, text);
    } catch (const DocumentFailure &failure) {
        throw AdrelioError(documentErrorMessage(name, failure));
    }
    return RawTextFile{text.take(), TextEncoding::System, 0};
}

void DocumentReader::readNested(const DocumentSource &source, DocumentKind kind, DocumentText &text)
{
    const Nesting nesting(text);
    if (text.depth() > maxDepth)
        throw DocumentFailure{DocumentFault::TooDeep};
    switch (kind) {
    case DocumentKind::Zip:
    case DocumentKind::Compressed:
        ArchiveReader(source, kind, text).read();
        break;
    case DocumentKind::Pdf:
        PdfProcess(source, text).read();
        break;
    case DocumentKind::Mail:
    case DocumentKind::Mailbox:
        MailReader(source, kind == DocumentKind::Mailbox, text).read();
        break;
    case DocumentKind::Text:
        break;
    }
}
