#include "documents/mailreader.h"

#include "base/orderedwork.h"
#include "base/windows1252.h"
#include "documents/htmltext.h"

#include <QFile>

#include <gmime/gmime.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Messages attached to messages are read this deep; deeper ones are left out.
constexpr int maxAttachedDepth = 16;

constexpr int maxThreadCount = 8;
constexpr qsizetype readSize = qsizetype(1) << 20;
std::atomic<qsizetype> pieceSize{qsizetype(2) << 20};

const Progress noProgress;

const char *const keptHeaders[] = {
    "From", "To", "Cc", "Bcc", "Reply-To", "Sender", "Subject", "Date",
};

struct ObjectRelease
{
    void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T>
using GObjectPointer = std::unique_ptr<T, ObjectRelease>;

struct MemoryRelease
{
    void operator()(gpointer memory) const { g_free(memory); }
};
using GlibText = std::unique_ptr<char, MemoryRelease>;

// GMime is initialised once for the whole program, from whichever thread reads a mail
// first; after that each reader uses objects of its own only, as GMime asks.
void initGMime()
{
    static std::once_flag once;
    std::call_once(once, [] { g_mime_init(); });
}

QByteArray utf8Of(QByteArrayView bytes)
{
    QByteArray utf8(3 * bytes.size(), Qt::Uninitialized);
    qsizetype used = 0;
    utf8.truncate(mixedTextToUtf8(bytes, true, utf8.data(), &used));
    return utf8;
}

GMimeStream *openStream(const DocumentSource &source)
{
    if (source.isFile())
        return g_mime_stream_fs_open(QFile::encodeName(source.fileName).constData(), O_RDONLY, 0,
                                     nullptr);
    if (!source.isStream())
        return g_mime_stream_mem_new_with_buffer(source.bytes.constData(), size_t(source.bytes.size()));
    GMimeStream *stream = g_mime_stream_cat_new();
    GObjectPointer<GMimeStream> head(
            g_mime_stream_mem_new_with_buffer(source.head.constData(), size_t(source.head.size())));
    GObjectPointer<GMimeStream> rest(g_mime_stream_pipe_new(source.fd));
    g_mime_stream_pipe_set_owner(GMIME_STREAM_PIPE(rest.get()), false);
    g_mime_stream_cat_add_source(GMIME_STREAM_CAT(stream), head.get());
    g_mime_stream_cat_add_source(GMIME_STREAM_CAT(stream), rest.get());
    return stream;
}

class MessageWriter
{
public:
    explicit MessageWriter(DocumentText &text) : m_text(text) { }

    void writeMessage(GMimeMessage *message, int depth)
    {
        GMimeHeaderList *headers = g_mime_object_get_header_list(GMIME_OBJECT(message));
        const int count = g_mime_header_list_get_count(headers);
        for (int i = 0; i < count; ++i) {
            GMimeHeader *header = g_mime_header_list_get_header_at(headers, i);
            const char *name = g_mime_header_get_name(header);
            const char *raw = g_mime_header_get_raw_value(header);
            if (!name || !raw || !isKept(name))
                continue;
            const GlibText unfolded(g_mime_utils_header_unfold(raw));
            const GlibText decoded(g_mime_utils_header_decode_text(nullptr, unfolded.get()));
            m_text.appendLine(QString::fromUtf8(name) + QLatin1String(": ")
                              + QString::fromUtf8(utf8Of(decoded.get())).trimmed());
        }
        if (GMimeObject *body = g_mime_message_get_mime_part(message))
            writeObject(body, depth);
        m_text.appendLine(QString());
    }

private:
    static bool isKept(const char *name)
    {
        for (const char *kept : keptHeaders) {
            if (g_ascii_strcasecmp(name, kept) == 0)
                return true;
        }
        return false;
    }

    void writeObject(GMimeObject *object, int depth)
    {
        if (GMIME_IS_MULTIPART(object)) {
            GMimeMultipart *multipart = GMIME_MULTIPART(object);
            const int count = g_mime_multipart_get_count(multipart);
            for (int i = 0; i < count; ++i)
                writeObject(g_mime_multipart_get_part(multipart, i), depth);
        } else if (GMIME_IS_MESSAGE_PART(object)) {
            GMimeMessage *attached = g_mime_message_part_get_message(GMIME_MESSAGE_PART(object));
            if (attached && depth < maxAttachedDepth)
                writeMessage(attached, depth + 1);
        } else if (GMIME_IS_PART(object)) {
            GMimeContentType *type = g_mime_object_get_content_type(object);
            if (type && g_mime_content_type_is_type(type, "text", "*"))
                writePart(GMIME_PART(object), g_mime_content_type_is_type(type, "text", "html"));
        }
    }

    // The content decoded from its transfer encoding, then from its charset when iconv
    // knows it; what is still not UTF-8 is read as text without a mark is.
    void writePart(GMimePart *part, bool html)
    {
        GMimeDataWrapper *content = g_mime_part_get_content(part);
        if (!content)
            return;
        GObjectPointer<GMimeStream> memory(g_mime_stream_mem_new());
        GObjectPointer<GMimeStream> filtered(g_mime_stream_filter_new(memory.get()));
        const char *charset = g_mime_object_get_content_type_parameter(GMIME_OBJECT(part), "charset");
        if (charset && g_ascii_strcasecmp(charset, "utf-8") != 0) {
            if (GMimeFilter *filter = g_mime_filter_charset_new(charset, "UTF-8")) {
                g_mime_stream_filter_add(GMIME_STREAM_FILTER(filtered.get()), filter);
                g_object_unref(filter);
            }
        }
        g_mime_data_wrapper_write_to_stream(content, filtered.get());
        g_mime_stream_flush(filtered.get());
        const GByteArray *bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(memory.get()));
        m_text.countInflated(bytes->len);
        const QByteArray utf8 = utf8Of(QByteArrayView(bytes->data, qsizetype(bytes->len)));
        if (html)
            m_text.appendLine(htmlToText(QString::fromUtf8(utf8)));
        else
            m_text.appendUtf8(utf8);
        m_text.endLine();
    }

    DocumentText &m_text;
};

// Where a mailbox is cut: before a line that starts with "From " after an empty line,
// which GMime takes for the start of the next message wherever it stands (in a body,
// inside a multipart, among the headers of an attached message). Not after any other
// line: GMime takes some "From " lines among a message's headers for a part of it. A
// piece is parsed with the next piece's "From " line after it, so that its last message
// ends at a separator as it does when the mailbox is read whole: a message that ends the
// input keeps its last line break, one before a separator does not.
struct Cut
{
    // The "From " line's start, and the offset after its line break.
    qint64 start;
    qint64 lineEnd;
};

// The index of the first "\nFrom " at or after at in bytes whose line break ends an empty
// line; -1 when there is none. One whose empty line starts before bytes is passed over.
qsizetype separatorIn(QByteArrayView bytes, qsizetype at)
{
    while (at + 6 <= bytes.size()) {
        const auto *found = static_cast<const char *>(
                ::memmem(bytes.data() + at, size_t(bytes.size() - at), "\nFrom ", 6));
        if (!found)
            return -1;
        const qsizetype newline = found - bytes.data();
        if ((newline >= 1 && bytes[newline - 1] == '\n')
            || (newline >= 2 && bytes[newline - 1] == '\r' && bytes[newline - 2] == '\n'))
            return newline;
        at = newline + 1;
    }
    return -1;
}

// The first cut whose "From " starts at or after from (at least 1), in bytes whose first
// byte starts a line; none when there is none or its line is not ended in bytes.
std::optional<Cut> cutIn(QByteArrayView bytes, qsizetype from)
{
    const qsizetype newline = separatorIn(bytes, from - 1);
    if (newline < 0)
        return std::nullopt;
    const qsizetype start = newline + 1;
    const auto *end = static_cast<const char *>(
            std::memchr(bytes.data() + start, '\n', size_t(bytes.size() - start)));
    if (!end)
        return std::nullopt;
    return Cut{start, end + 1 - bytes.data()};
}

qsizetype readAt(int fd, char *buffer, qsizetype size, qint64 offset)
{
    for (;;) {
        const ssize_t count = ::pread(fd, buffer, size_t(size), offset);
        if (count >= 0)
            return count;
        if (errno != EINTR)
            throw DocumentFailure{DocumentFault::SystemError, errno};
    }
}

qsizetype readSome(int fd, char *buffer, qsizetype size)
{
    for (;;) {
        const ssize_t count = ::read(fd, buffer, size_t(size));
        if (count >= 0)
            return count;
        if (errno != EINTR)
            throw DocumentFailure{DocumentFault::SystemError, errno};
    }
}

// The first cut at or after from in the file of size bytes, read through fd a block at a
// time, so that a message of any size is never held.
std::optional<Cut> cutInFile(int fd, qint64 size, qint64 from, QByteArray &block)
{
    block.resize(readSize);
    std::optional<qint64> start;
    // Each block starts with the last bytes of the one before: "\n\r\nFrom " is 8 bytes.
    constexpr qsizetype overlap = 8;
    for (qint64 at = qMax<qint64>(from - 3, 0); at < size;) {
        const qsizetype count = readAt(fd, block.data(), qMin<qint64>(readSize, size - at), at);
        if (count <= overlap)
            return std::nullopt;
        const QByteArrayView view(block.constData(), count);
        qsizetype lineFrom = 0;
        if (!start) {
            const qsizetype newline = separatorIn(view, qMax<qint64>(from - 1 - at, 0));
            if (newline < 0) {
                at += count - overlap;
                continue;
            }
            start = at + newline + 1;
            lineFrom = newline + 6;
        }
        if (const auto *end = static_cast<const char *>(
                    std::memchr(view.data() + lineFrom, '\n', size_t(count - lineFrom))))
            return Cut{*start, at + (end + 1 - view.data())};
        at += count;
    }
    return std::nullopt;
}

// A mailbox read on every core: cut into pieces of about pieceSize bytes before "From "
// lines, one after the other; each piece parsed by a GMime parser of its own (GMime's
// objects may be used by one thread each once it is initialised); their texts appended
// in order. A message that GMime cannot make stops the mailbox there, as a parser that
// reads it whole stops; none at all in the first piece is a damaged mailbox.
class MailboxJob
{
public:
    struct Piece
    {
        // A range of the file, or bytes: the piece's own, then the next "From " line.
        qint64 start = 0;
        qint64 parseEnd = 0;
        QByteArray held;
        QByteArrayView bytes;
        // Where the next piece starts, in the offsets of the piece's parser.
        qint64 ownEnd = 0;
        // Where the piece ends in the mailbox.
        qint64 end = 0;
        bool first = false;
        bool stopped = false;
        std::optional<DocumentText> text;
    };

    MailboxJob(const DocumentSource &source, DocumentText &text);
    ~MailboxJob();
    MailboxJob(const MailboxJob &) = delete;
    MailboxJob &operator=(const MailboxJob &) = delete;

    int threadCount() const;

    bool take(Piece &piece);
    void fetch(Piece &) { }
    void settle(Piece &) { }
    void work(Piece &piece);
    void handOn(Piece &piece);
    void afterPiece() { }

private:
    enum class Mode { File, Bytes, Stream };

    void takeFromFile(Piece &piece);
    void takeFromBytes(Piece &piece);
    void takeFromStream(Piece &piece);
    GMimeStream *openPiece(const Piece &piece) const;

    const DocumentSource &m_source;
    DocumentText &m_text;
    Mode m_mode;
    int m_fd = -1;
    qint64 m_size = 0;
    // Where the next piece starts.
    qint64 m_next = 0;
    bool m_first = true;
    bool m_ended = false;
    std::atomic<bool> m_stopped{false};
    QByteArray m_block;
    // A stream's bytes from m_next on, and how far they have been searched for a cut.
    QByteArray m_window;
    qsizetype m_searched = 0;
};

MailboxJob::MailboxJob(const DocumentSource &source, DocumentText &text)
    : m_source(source), m_text(text),
      m_mode(source.isStream() ? Mode::Stream : source.isFile() ? Mode::File : Mode::Bytes)
{
    if (m_mode == Mode::File) {
        const int fd = ::open(QFile::encodeName(source.fileName).constData(), O_RDONLY | O_CLOEXEC);
        struct stat status;
        if (fd < 0 || ::fstat(fd, &status) != 0) {
            const int error = errno;
            if (fd >= 0)
                ::close(fd);
            throw DocumentFailure{DocumentFault::SystemError, error};
        }
        m_fd = fd;
        m_size = status.st_size;
    } else if (m_mode == Mode::Bytes) {
        m_size = source.bytes.size();
    } else {
        m_window = source.head;
    }
}

MailboxJob::~MailboxJob()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

int MailboxJob::threadCount() const
{
    if (m_mode != Mode::Stream && m_size <= pieceSize)
        return 1;
    return qBound(1, int(std::thread::hardware_concurrency()), maxThreadCount);
}

bool MailboxJob::take(Piece &piece)
{
    if (m_ended || m_stopped)
        return false;
    piece.first = std::exchange(m_first, false);
    piece.stopped = false;
    piece.held.clear();
    piece.bytes = {};
    switch (m_mode) {
    case Mode::File:
        takeFromFile(piece);
        break;
    case Mode::Bytes:
        takeFromBytes(piece);
        break;
    case Mode::Stream:
        takeFromStream(piece);
        break;
    }
    return true;
}

void MailboxJob::takeFromFile(Piece &piece)
{
    piece.start = m_next;
    const std::optional<Cut> cut = cutInFile(m_fd, m_size, m_next + pieceSize, m_block);
    piece.parseEnd = cut ? cut->lineEnd : m_size;
    piece.ownEnd = cut ? cut->start : m_size;
    piece.end = piece.ownEnd;
    m_next = piece.ownEnd;
    m_ended = !cut;
}

void MailboxJob::takeFromBytes(Piece &piece)
{
    const QByteArrayView rest = QByteArrayView(m_source.bytes).sliced(m_next);
    const std::optional<Cut> cut = cutIn(rest, pieceSize);
    piece.bytes = cut ? rest.first(cut->lineEnd) : rest;
    piece.ownEnd = cut ? cut->start : rest.size();
    m_next += piece.ownEnd;
    piece.end = m_next;
    m_ended = !cut;
}

void MailboxJob::takeFromStream(Piece &piece)
{
    std::optional<Cut> cut;
    for (;;) {
        cut = cutIn(m_window, qMax(pieceSize.load(), m_searched));
        if (cut)
            break;
        // The next search starts where a separator may begin among the last bytes searched;
        // a "From " line that was not ended yet is passed over, as a later one is as good.
        m_searched = qMax<qsizetype>(m_searched, m_window.size() - 7);
        const qsizetype size = m_window.size();
        if (m_window.capacity() - size < readSize)
            m_window.reserve(qMax(2 * m_window.capacity(), size + readSize));
        m_window.resize(size + readSize);
        const qsizetype count = readSome(m_source.fd, m_window.data() + size, readSize);
        m_window.resize(size + count);
        if (count == 0)
            break;
    }
    if (cut) {
        piece.held = m_window.first(cut->lineEnd);
        piece.ownEnd = cut->start;
        m_window.remove(0, cut->start);
    } else {
        piece.held = std::move(m_window);
        piece.ownEnd = piece.held.size();
        m_window.clear();
        m_ended = true;
    }
    m_searched = 0;
    piece.bytes = piece.held;
    m_next += piece.ownEnd;
    piece.end = m_next;
}

GMimeStream *MailboxJob::openPiece(const Piece &piece) const
{
    if (m_mode != Mode::File)
        return g_mime_stream_mem_new_with_buffer(piece.bytes.data(), size_t(piece.bytes.size()));
    // A descriptor of its own: GMime seeks the one it reads.
    const int fd = ::open(QFile::encodeName(m_source.fileName).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw DocumentFailure{DocumentFault::SystemError, errno};
    return g_mime_stream_fs_new_with_bounds(fd, piece.start, piece.parseEnd);
}

void MailboxJob::work(Piece &piece)
{
    GObjectPointer<GMimeStream> stream(openPiece(piece));
    GObjectPointer<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
    g_mime_parser_set_format(parser.get(), GMIME_FORMAT_MBOX);
    piece.text.emplace(m_mode == Mode::File ? piece.parseEnd - piece.start : piece.bytes.size(), noProgress);
    MessageWriter writer(*piece.text);
    bool none = true;
    while (!g_mime_parser_eos(parser.get()) && g_mime_parser_tell(parser.get()) < piece.ownEnd) {
        GObjectPointer<GMimeMessage> message(g_mime_parser_construct_message(parser.get(), nullptr));
        if (!message) {
            if (piece.first && none)
                throw DocumentFailure{DocumentFault::Damaged};
            piece.stopped = true;
            break;
        }
        writer.writeMessage(message.get(), 0);
        none = false;
    }
}

void MailboxJob::handOn(Piece &piece)
{
    if (m_stopped)
        return;
    m_text.append(*piece.text);
    piece.text.reset();
    if (piece.stopped)
        m_stopped = true;
    m_text.reportProgress(piece.end);
}

} // namespace

MailReader::MailReader(const DocumentSource &source, bool mailbox, DocumentText &text)
    : m_source(source), m_mailbox(mailbox), m_text(text)
{
}

void MailReader::read()
{
    initGMime();
    if (m_mailbox) {
        MailboxJob job(m_source, m_text);
        runInOrder(job.threadCount(), job);
        return;
    }
    GObjectPointer<GMimeStream> stream(openStream(m_source));
    if (!stream)
        throw DocumentFailure{DocumentFault::Damaged};
    GObjectPointer<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
    g_mime_parser_set_format(parser.get(), GMIME_FORMAT_MESSAGE);
    GObjectPointer<GMimeMessage> message(g_mime_parser_construct_message(parser.get(), nullptr));
    if (!message)
        throw DocumentFailure{DocumentFault::Damaged};
    MessageWriter(m_text).writeMessage(message.get(), 0);
    m_text.reportProgress(g_mime_parser_tell(parser.get()));
}

void MailReader::setPieceSize(qsizetype bytes)
{
    pieceSize = qMax<qsizetype>(bytes, 1);
}
