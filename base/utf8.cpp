#include "base/utf8.h"

#include "base/orderedwork.h"

#include <QByteArray>
#include <QStringDecoder>

#include <atomic>
#include <thread>

QString decodeUtf8(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless
                                   | QStringConverter::Flag::ConvertInitialBom);
    return decoder.decode(bytes);
}

namespace {

constexpr qsizetype pieceSize = qsizetype(4) << 20;
constexpr int maxThreadCount = 8;
// The continuation bytes that may follow a piece's end and still belong to its last
// character.
constexpr qsizetype longestTail = 3;

bool isContinuation(char byte)
{
    return (uchar(byte) & 0xC0) == 0x80;
}

// Whether a piece of a text is well formed, given with up to longestTail bytes that
// follow it. The continuation bytes at its start belong to the character of the piece
// before, and those after its end to its own last character.
bool pieceIsWellFormed(QByteArrayView bytes, qsizetype length, bool first)
{
    qsizetype begin = 0;
    if (!first) {
        while (begin < longestTail && begin < length && isContinuation(bytes[begin]))
            ++begin;
    }
    qsizetype end = length;
    while (end < bytes.size() && isContinuation(bytes[end]))
        ++end;
    return bytes.sliced(begin, end - begin).isValidUtf8();
}

// The pieces checked on every core; the first ill-formed piece stops the taking of more.
class CheckJob
{
public:
    struct Piece
    {
        qint64 from = 0;
        qsizetype length = 0;
        QByteArrayView bytes;
        QByteArray buffer;
        bool wellFormed = true;
    };

    CheckJob(qint64 size, const std::function<qsizetype(char *, qsizetype, qint64)> *readAt,
             QByteArrayView memory)
        : m_size(size), m_readAt(readAt), m_memory(memory)
    {
    }

    bool take(Piece &piece)
    {
        if (m_next >= m_size || !m_wellFormed)
            return false;
        piece.from = m_next;
        piece.length = qsizetype(qMin<qint64>(pieceSize, m_size - m_next));
        m_next += piece.length;
        return true;
    }
    void fetch(Piece &piece)
    {
        const qsizetype wanted = qsizetype(qMin<qint64>(piece.length + longestTail, m_size - piece.from));
        if (!m_readAt) {
            piece.bytes = m_memory.sliced(qsizetype(piece.from), wanted);
            return;
        }
        piece.buffer.resize(wanted);
        qsizetype got = 0;
        while (got < wanted) {
            const qsizetype count = (*m_readAt)(piece.buffer.data() + got, wanted - got, piece.from + got);
            if (count <= 0)
                break;
            got += count;
        }
        piece.buffer.truncate(got);
        piece.bytes = piece.buffer;
    }
    void settle(Piece &) { }
    void work(Piece &piece)
    {
        piece.wellFormed = m_wellFormed
                && pieceIsWellFormed(piece.bytes, qMin(piece.length, piece.bytes.size()), piece.from == 0);
    }
    void handOn(Piece &piece)
    {
        if (!piece.wellFormed)
            m_wellFormed = false;
    }
    void afterPiece() { }

    bool wellFormed() const { return m_wellFormed; }

private:
    qint64 m_size;
    const std::function<qsizetype(char *, qsizetype, qint64)> *m_readAt;
    QByteArrayView m_memory;
    qint64 m_next = 0;
    std::atomic<bool> m_wellFormed = true;
};

int threadCountFor(qint64 size)
{
    const int cores = qBound(1, int(std::thread::hardware_concurrency()), maxThreadCount);
    return size > pieceSize ? cores : 1;
}

} // namespace

bool isWellFormedUtf8(QByteArrayView bytes)
{
    if (bytes.size() <= pieceSize)
        return bytes.isValidUtf8();
    CheckJob job(bytes.size(), nullptr, bytes);
    runInOrder(threadCountFor(bytes.size()), job);
    return job.wellFormed();
}

bool isWellFormedUtf8(qint64 size,
                      const std::function<qsizetype(char *buffer, qsizetype room, qint64 offset)> &readAt)
{
    CheckJob job(size, &readAt, {});
    runInOrder(threadCountFor(size), job);
    return job.wellFormed();
}
