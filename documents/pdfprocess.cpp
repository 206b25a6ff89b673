#include "documents/pdfprocess.h"

#include "documents/documenttext.h"
#include "documents/pdfreader.h"

#include <QByteArrayView>
#include <QElapsedTimer>
#include <QFile>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const char childArgument[] = "--texte-pdf";

// What the child writes: records of a header and, for Text, size bytes of UTF-8 text cut
// at a character's edge. A page's text may take several records; pagesDone counts the
// pages whose text has been written whole. Started comes before the PDF is opened,
// Finished after its last page.
enum class RecordKind : quint32 {
    Started = 1,
    Text,
    Finished,
};

struct RecordHeader
{
    RecordKind kind;
    quint32 pagesDone;
    quint32 pages;
    quint32 size;
};

constexpr qsizetype maxRecordText = qsizetype(1) << 20;
constexpr qsizetype chunkSize = qsizetype(64) << 10;

// The child's exit statuses besides 0, all its text written.
constexpr int protectedStatus = 3;
constexpr int damagedStatus = 4;

constexpr int reportInterval = 100;
std::atomic<int> stallLimit{20'000};

[[noreturn]] void throwSystemError(int error)
{
    throw DocumentFailure{DocumentFault::SystemError, error};
}

[[noreturn]] void throwDamaged()
{
    throw DocumentFailure{DocumentFault::Damaged};
}

class FileDescriptor
{
public:
    FileDescriptor() = default;
    ~FileDescriptor() { reset(); }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;

    int get() const { return m_fd; }
    void reset(int fd = -1)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd = -1;
};

// The child while it runs: killed and waited for when it goes, unless it has been waited
// for already.
class Child
{
public:
    explicit Child(const DocumentSource &source);
    ~Child();
    Child(const Child &) = delete;
    Child &operator=(const Child &) = delete;

    int output() const { return m_output.get(); }
    // -1 once the input is all sent, or for a named file.
    int input() const { return m_input.get(); }
    void closeInput() { m_input.reset(); }

    // The status of waitpid() once the child has ended, -1 when another part of the
    // process took it; nothing while it runs.
    std::optional<int> exitStatus();

private:
    pid_t m_pid = -1;
    FileDescriptor m_output;
    FileDescriptor m_input;
};

// The standard input holds the bytes when no file is named.
Child::Child(const DocumentSource &source)
{
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0)
        throwSystemError(errno);
    m_output.reset(pipeEnds[0]);
    FileDescriptor childOutput;
    childOutput.reset(pipeEnds[1]);
    // A socket, not a pipe, so that a write to a child that has gone fails with EPIPE
    // instead of raising SIGPIPE in this process (MSG_NOSIGNAL).
    FileDescriptor childInput;
    if (!source.isFile()) {
        int socketEnds[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, socketEnds) != 0)
            throwSystemError(errno);
        childInput.reset(socketEnds[0]);
        m_input.reset(socketEnds[1]);
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (childInput.get() >= 0)
        posix_spawn_file_actions_adddup2(&actions, childInput.get(), STDIN_FILENO);
    else
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, childOutput.get(), STDOUT_FILENO);
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t signals;
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(&attributes, &signals);
    sigfillset(&signals);
    posix_spawnattr_setsigdefault(&attributes, &signals);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    // /proc/self/exe is this process's executable even once a new version has replaced
    // the file.
    char program[] = "/proc/self/exe";
    QByteArray argument(childArgument);
    QByteArray fileName = QFile::encodeName(source.fileName);
    char *arguments[] = {program, argument.data(), source.isFile() ? fileName.data() : nullptr, nullptr};
    const int error = ::posix_spawn(&m_pid, program, &actions, &attributes, arguments, environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        m_pid = -1;
        throwSystemError(error);
    }
}

Child::~Child()
{
    if (m_pid < 0)
        return;
    ::kill(m_pid, SIGKILL);
    int status;
    while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
    }
}

std::optional<int> Child::exitStatus()
{
    int status = 0;
    const pid_t ended = ::waitpid(m_pid, &status, WNOHANG);
    if (ended == 0 || (ended < 0 && errno == EINTR))
        return std::nullopt;
    m_pid = -1;
    return ended < 0 ? -1 : status;
}

// Takes the child's output as it comes and appends the text of its records.
class RecordParser
{
public:
    explicit RecordParser(DocumentText &text) : m_text(text) { }

    // Throws DocumentFailure Damaged at anything but the records the child writes.
    void take(QByteArrayView bytes);
    // Whether Finished came, and nothing after it.
    bool finished() const { return m_finished && m_pending.isEmpty(); }

private:
    DocumentText &m_text;
    QByteArray m_pending;
    bool m_finished = false;
};

void RecordParser::take(QByteArrayView bytes)
{
    if (m_finished)
        throwDamaged();
    m_pending.append(bytes);
    qsizetype at = 0;
    while (!m_finished && m_pending.size() - at >= qsizetype(sizeof(RecordHeader))) {
        RecordHeader header;
        std::memcpy(&header, m_pending.constData() + at, sizeof header);
        if (header.size > maxRecordText || header.pagesDone > header.pages
            || (header.kind != RecordKind::Text && header.size != 0))
            throwDamaged();
        const qsizetype textStart = at + qsizetype(sizeof header);
        if (m_pending.size() < textStart + qsizetype(header.size))
            break;
        const QByteArrayView text(m_pending.constData() + textStart, qsizetype(header.size));
        switch (header.kind) {
        case RecordKind::Started:
            break;
        case RecordKind::Text:
            if (!text.isValidUtf8())
                throwDamaged();
            m_text.appendUtf8(text);
            m_text.reportProgress(header.pagesDone, header.pages);
            break;
        case RecordKind::Finished:
            m_finished = true;
            break;
        default:
            throwDamaged();
        }
        at = textStart + text.size();
    }
    m_pending.remove(0, at);
}

// The child's side.

bool writeAll(int fd, QByteArrayView bytes)
{
    while (!bytes.isEmpty()) {
        const ssize_t written = ::write(fd, bytes.data(), size_t(bytes.size()));
        if (written < 0 && errno != EINTR)
            return false;
        if (written > 0)
            bytes = bytes.sliced(written);
    }
    return true;
}

bool writeRecord(int fd, const RecordHeader &header, QByteArrayView text = {})
{
    return writeAll(fd, QByteArrayView(reinterpret_cast<const char *>(&header), sizeof header))
            && writeAll(fd, text);
}

bool readAll(int fd, QByteArray &bytes)
{
    for (;;) {
        const qsizetype size = bytes.size();
        if (bytes.capacity() - size < chunkSize)
            bytes.reserve(qMax(2 * bytes.capacity(), size + chunkSize));
        bytes.resize(size + chunkSize);
        const ssize_t count = ::read(fd, bytes.data() + size, size_t(chunkSize));
        bytes.resize(size + qMax<ssize_t>(count, 0));
        if (count == 0)
            return true;
        if (count < 0 && errno != EINTR)
            return false;
    }
}

// A page's text in records of at most maxRecordText bytes, each cut before a character.
bool writePage(int fd, int page, int pages, QByteArrayView text)
{
    do {
        qsizetype size = qMin(text.size(), maxRecordText);
        if (size < text.size()) {
            while ((uchar(text[size]) & 0xC0) == 0x80)
                --size;
        }
        const bool last = size == text.size();
        const RecordHeader header{RecordKind::Text, quint32(last ? page + 1 : page), quint32(pages),
                                  quint32(size)};
        if (!writeRecord(fd, header, text.first(size)))
            return false;
        text = text.sliced(size);
    } while (!text.isEmpty());
    return true;
}

int readPdf(const DocumentSource &source, int output)
{
    try {
        PdfReader reader(source);
        const int pages = reader.pageCount();
        for (int page = 0; page < pages; ++page) {
            if (!writePage(output, page, pages, reader.pageText(page)))
                return damagedStatus;
        }
    } catch (const DocumentFailure &failure) {
        return failure.fault == DocumentFault::Protected ? protectedStatus : damagedStatus;
    }
    return writeRecord(output, {RecordKind::Finished, 0, 0, 0}) ? 0 : damagedStatus;
}

} // namespace

PdfProcess::PdfProcess(const DocumentSource &source, DocumentText &text)
    : m_source(source), m_text(text)
{
}

void PdfProcess::read()
{
    Child child(m_source);
    RecordParser records(m_text);
    QByteArrayView unsent = m_source.isFile() ? QByteArrayView() : QByteArrayView(m_source.bytes);
    if (unsent.isEmpty())
        child.closeInput();
    QByteArray buffer(chunkSize, Qt::Uninitialized);
    QElapsedTimer quiet;
    quiet.start();
    QElapsedTimer sinceReport;
    sinceReport.start();
    const auto waited = [&] {
        if (quiet.elapsed() > stallLimit)
            throwDamaged();
        if (sinceReport.elapsed() >= reportInterval) {
            m_text.reportWaiting();
            sinceReport.restart();
        }
    };

    for (bool open = true; open;) {
        pollfd ends[2] = {{child.output(), POLLIN, 0}, {child.input(), POLLOUT, 0}};
        const nfds_t count = child.input() >= 0 ? 2 : 1;
        const int ready = ::poll(ends, count, reportInterval);
        if (ready < 0 && errno != EINTR)
            throwSystemError(errno);
        if (ready > 0 && ends[0].revents != 0) {
            const ssize_t got = ::read(child.output(), buffer.data(), size_t(buffer.size()));
            if (got < 0 && errno != EINTR)
                throwSystemError(errno);
            if (got == 0)
                open = false;
            if (got > 0) {
                records.take(QByteArrayView(buffer.constData(), got));
                quiet.restart();
            }
        }
        if (ready > 0 && count == 2 && ends[1].revents != 0) {
            const ssize_t sent = ::send(child.input(), unsent.data(),
                                        size_t(qMin(unsent.size(), chunkSize)), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (sent > 0) {
                unsent = unsent.sliced(sent);
                quiet.restart();
            }
            // A child that stops reading has ended or will: its status says why.
            if (unsent.isEmpty() || (sent < 0 && errno != EINTR && errno != EAGAIN))
                child.closeInput();
        }
        waited();
    }

    std::optional<int> status;
    while (!(status = child.exitStatus())) {
        ::poll(nullptr, 0, 5);
        waited();
    }
    const int code = *status != -1 && WIFEXITED(*status) ? WEXITSTATUS(*status) : -1;
    if (records.finished() && (*status == -1 || code == 0))
        return;
    if (code == protectedStatus)
        throw DocumentFailure{DocumentFault::Protected};
    throwDamaged();
}

std::optional<int> PdfProcess::runChild(int argc, char *argv[])
{
    if (argc < 2 || argc > 3 || std::strcmp(argv[1], childArgument) != 0)
        return std::nullopt;
    // The child ends with the thread that started it, so that a loop is never left
    // running. A parent that went before this left no reader of the output, and the first
    // record's write ends the child.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    // The records go to a descriptor of their own; whatever a library prints to the
    // standard output goes to the standard error.
    const int output = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    if (output < 0 || ::dup2(STDERR_FILENO, STDOUT_FILENO) < 0)
        return damagedStatus;
    if (!writeRecord(output, {RecordKind::Started, 0, 0, 0}))
        return damagedStatus;
    DocumentSource source;
    if (argc == 3)
        source.fileName = QFile::decodeName(argv[2]);
    else if (!readAll(STDIN_FILENO, source.bytes))
        return damagedStatus;
    return readPdf(source, output);
}

void PdfProcess::setStallLimit(int milliseconds)
{
    stallLimit = milliseconds;
}
