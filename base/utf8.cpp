#include "base/utf8.h"

#include "base/orderedwork.h"

#include <QByteArray>
#include <QStringDecoder>

#include <QtAlgorithms>

#include <atomic>
#include <thread>

#include <cstring>

#ifdef __SSE2__
#include <tmmintrin.h>
#endif

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

bool isContinuation(const uchar *p)
{
    return (*p & 0xC0) == 0x80;
}

// Well-formed UTF-8 as RFC 3629 has it: no overlong form, no surrogate, nothing past
// U+10FFFF. Runs of ASCII, most of a text, are passed 16 bytes at a time.
bool wellFormed(const uchar *p, const uchar *end)
{
    while (p < end) {
        if (*p < 0x80) {
#ifdef __SSE2__
            for (; end - p >= 16; p += 16) {
                const uint high = uint(_mm_movemask_epi8(
                        _mm_loadu_si128(reinterpret_cast<const __m128i *>(p))));
                if (high) {
                    p += qCountTrailingZeroBits(high);
                    break;
                }
            }
#endif
            while (p < end && *p < 0x80)
                ++p;
            continue;
        }
        const uchar lead = *p;
        if (lead < 0xC2)
            return false;
        if (lead < 0xE0) {
            if (end - p < 2 || !isContinuation(p + 1))
                return false;
            p += 2;
        } else if (lead < 0xF0) {
            if (end - p < 3 || !isContinuation(p + 1) || !isContinuation(p + 2)
                || (lead == 0xE0 && p[1] < 0xA0) || (lead == 0xED && p[1] >= 0xA0))
                return false;
            p += 3;
        } else if (lead < 0xF5) {
            if (end - p < 4 || !isContinuation(p + 1) || !isContinuation(p + 2)
                || !isContinuation(p + 3) || (lead == 0xF0 && p[1] < 0x90)
                || (lead == 0xF4 && p[1] >= 0x90))
                return false;
            p += 4;
        } else {
            return false;
        }
    }
    return true;
}

#ifdef __SSE2__
// The errors of a block of 16 bytes given the block before, as Keiser and Lemire validate
// UTF-8 ("Validating UTF-8 In Less Than One Instruction Per Byte"): each byte and the one
// before it are looked up by their nibbles in three tables whose entries are the errors
// that pair can show, and the bytes that must continue a three- or four-byte sequence are
// found from the two and three bytes before. No error leaves every byte 0.
__attribute__((target("ssse3"))) inline __m128i blockErrors(__m128i input, __m128i previous)
{
    constexpr char tooShort = 1 << 0;
    constexpr char tooLong = 1 << 1;
    constexpr char overlong3 = 1 << 2;
    constexpr char tooLarge = 1 << 3;
    constexpr char surrogate = 1 << 4;
    constexpr char overlong2 = 1 << 5;
    constexpr char tooLarge1000 = 1 << 6;
    constexpr char overlong4 = 1 << 6;
    constexpr char twoContinuations = char(1 << 7);
    constexpr char carry = tooShort | tooLong | twoContinuations;
    constexpr char large = carry | tooLarge | tooLarge1000;

    // By the high nibble of the first byte of the pair.
    const __m128i firstHigh = _mm_setr_epi8(
            tooLong, tooLong, tooLong, tooLong, tooLong, tooLong, tooLong, tooLong,
            twoContinuations, twoContinuations, twoContinuations, twoContinuations,
            tooShort | overlong2, tooShort, tooShort | overlong3 | surrogate,
            tooShort | tooLarge | tooLarge1000 | overlong4);
    // By its low nibble.
    const __m128i firstLow = _mm_setr_epi8(
            carry | overlong3 | overlong2 | overlong4, carry | overlong2, carry, carry,
            carry | tooLarge, large, large, large, large, large, large, large, large,
            large | surrogate, large, large);
    // By the high nibble of the second byte.
    const __m128i secondHigh = _mm_setr_epi8(
            tooShort, tooShort, tooShort, tooShort, tooShort, tooShort, tooShort, tooShort,
            tooLong | overlong2 | twoContinuations | overlong3 | tooLarge1000 | overlong4,
            tooLong | overlong2 | twoContinuations | overlong3 | tooLarge,
            tooLong | overlong2 | twoContinuations | surrogate | tooLarge,
            tooLong | overlong2 | twoContinuations | surrogate | tooLarge,
            tooShort, tooShort, tooShort, tooShort);
    const __m128i lowNibble = _mm_set1_epi8(0x0F);

    const __m128i prev1 = _mm_alignr_epi8(input, previous, 15);
    const __m128i prev2 = _mm_alignr_epi8(input, previous, 14);
    const __m128i prev3 = _mm_alignr_epi8(input, previous, 13);
    const __m128i special = _mm_and_si128(
            _mm_and_si128(_mm_shuffle_epi8(firstHigh, _mm_and_si128(_mm_srli_epi16(prev1, 4), lowNibble)),
                          _mm_shuffle_epi8(firstLow, _mm_and_si128(prev1, lowNibble))),
            _mm_shuffle_epi8(secondHigh, _mm_and_si128(_mm_srli_epi16(input, 4), lowNibble)));
    // Only bytes 111_____ are 0x80 or more less 0x60, only 1111____ less 0x70.
    const __m128i mustContinue = _mm_and_si128(
            _mm_or_si128(_mm_subs_epu8(prev2, _mm_set1_epi8(char(0xE0 - 0x80))),
                         _mm_subs_epu8(prev3, _mm_set1_epi8(char(0xF0 - 0x80)))),
            _mm_set1_epi8(char(0x80)));
    return _mm_xor_si128(mustContinue, special);
}

bool noError(__m128i errors)
{
    return _mm_movemask_epi8(_mm_cmpeq_epi8(errors, _mm_setzero_si128())) == 0xFFFF;
}

// The tail is read as a block padded with ASCII, which shows a sequence that the end cuts
// short.
__attribute__((target("ssse3"))) bool wellFormedBlocks(const uchar *p, const uchar *end)
{
    __m128i errors = _mm_setzero_si128();
    __m128i previous = _mm_setzero_si128();
    for (qsizetype blocks = 1; end - p >= 16; p += 16, ++blocks) {
        const __m128i input = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        // ASCII after three ASCII bytes can hold no error.
        if (_mm_movemask_epi8(input) != 0 || (_mm_movemask_epi8(previous) & 0xE000) != 0)
            errors = _mm_or_si128(errors, blockErrors(input, previous));
        previous = input;
        if (blocks % 256 == 0 && !noError(errors))
            return false;
    }
    alignas(16) uchar tail[16] = {};
    if (end > p)
        std::memcpy(tail, p, size_t(end - p));
    errors = _mm_or_si128(errors, blockErrors(_mm_load_si128(reinterpret_cast<const __m128i *>(tail)), previous));
    return noError(errors);
}
#endif

bool wellFormed(QByteArrayView bytes)
{
    const auto *begin = reinterpret_cast<const uchar *>(bytes.data());
#ifdef __SSE2__
    static const bool ssse3 = __builtin_cpu_supports("ssse3");
    if (ssse3)
        return wellFormedBlocks(begin, begin + bytes.size());
#endif
    return wellFormed(begin, begin + bytes.size());
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
    return wellFormed(bytes.sliced(begin, end - begin));
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
        return wellFormed(bytes);
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
