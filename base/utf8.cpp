#include "base/utf8.h"

#include "base/orderedwork.h"

#include <QByteArray>
#include <QStringDecoder>

#include <QtAlgorithms>

#include <atomic>
#include <thread>

#include <cstring>

#ifdef __SSE2__
#include <immintrin.h>
#endif

QString decodeUtf8(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless
                                   | QStringConverter::Flag::ConvertInitialBom);
    return decoder.decode(bytes);
}

qsizetype utf8Size(QStringView text)
{
    qsizetype size = 0;
    const char16_t *p = text.utf16();
    const char16_t *const end = p + text.size();
    while (p < end) {
        const char16_t c = *p++;
        if (c < 0x80) {
            size += 1;
        } else if (c < 0x800) {
            size += 2;
        } else if (QChar::isHighSurrogate(c) && p < end && QChar::isLowSurrogate(*p)) {
            ++p;
            size += 4;
        } else {
            size += 3;
        }
    }
    return size;
}

char *encodeUtf8(QStringView text, char *out)
{
    const char16_t *p = text.utf16();
    const char16_t *const end = p + text.size();
    while (p < end) {
        char32_t c = *p++;
        if (c < 0x80) {
            *out++ = char(c);
            continue;
        }
        if (c < 0x800) {
            *out++ = char(0xC0 | (c >> 6));
            *out++ = char(0x80 | (c & 0x3F));
            continue;
        }
        if (QChar::isHighSurrogate(c) && p < end && QChar::isLowSurrogate(*p)) {
            c = QChar::surrogateToUcs4(char16_t(c), *p++);
            *out++ = char(0xF0 | (c >> 18));
            *out++ = char(0x80 | ((c >> 12) & 0x3F));
        } else {
            if (QChar::isSurrogate(c))
                c = QChar::ReplacementCharacter;
            *out++ = char(0xE0 | (c >> 12));
        }
        *out++ = char(0x80 | ((c >> 6) & 0x3F));
        *out++ = char(0x80 | (c & 0x3F));
    }
    return out;
}

namespace {

// A piece stays in a core's own cache while it is read into its buffer and looked at.
constexpr qsizetype pieceSize = qsizetype(256) << 10;
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
// U+10FFFF. Runs of ASCII, most of a text, are passed 16 bytes at a time. For processors
// without AVX2.
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
// The errors of a block of 32 bytes given the block before, as Keiser and Lemire validate
// UTF-8 ("Validating UTF-8 In Less Than One Instruction Per Byte"): each byte and the one
// before it are looked up by their nibbles in three tables whose entries are the errors
// that pair can show, and the bytes that must continue a three- or four-byte sequence are
// found from the two and three bytes before. No error leaves every byte 0.
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
alignas(16) constexpr char firstHigh[16] = {
    tooLong, tooLong, tooLong, tooLong, tooLong, tooLong, tooLong, tooLong,
    twoContinuations, twoContinuations, twoContinuations, twoContinuations,
    tooShort | overlong2, tooShort, tooShort | overlong3 | surrogate,
    tooShort | tooLarge | tooLarge1000 | overlong4 };
// By its low nibble.
alignas(16) constexpr char firstLow[16] = {
    carry | overlong3 | overlong2 | overlong4, carry | overlong2, carry, carry,
    carry | tooLarge, large, large, large, large, large, large, large, large,
    large | surrogate, large, large };
// By the high nibble of the second byte.
alignas(16) constexpr char secondHigh[16] = {
    tooShort, tooShort, tooShort, tooShort, tooShort, tooShort, tooShort, tooShort,
    tooLong | overlong2 | twoContinuations | overlong3 | tooLarge1000 | overlong4,
    tooLong | overlong2 | twoContinuations | overlong3 | tooLarge,
    tooLong | overlong2 | twoContinuations | surrogate | tooLarge,
    tooLong | overlong2 | twoContinuations | surrogate | tooLarge,
    tooShort, tooShort, tooShort, tooShort };

__attribute__((target("avx2"))) inline __m256i lookUp(const char (&table)[16], __m256i nibbles)
{
    const __m256i entries = _mm256_broadcastsi128_si256(
            _mm_load_si128(reinterpret_cast<const __m128i *>(table)));
    return _mm256_shuffle_epi8(entries, nibbles);
}

// The block's bytes each moved count places on, those of previous coming in first. The
// shuffles of AVX2 work within each half of 16 bytes, so the half that comes in is put
// beside each half first.
template <int count>
__attribute__((target("avx2"))) inline __m256i movedOn(__m256i input, __m256i previous)
{
    return _mm256_alignr_epi8(input, _mm256_permute2x128_si256(previous, input, 0x21), 16 - count);
}

__attribute__((target("avx2"))) inline __m256i blockErrors(__m256i input, __m256i previous)
{
    const __m256i lowNibble = _mm256_set1_epi8(0x0F);
    const __m256i prev1 = movedOn<1>(input, previous);
    const __m256i prev2 = movedOn<2>(input, previous);
    const __m256i prev3 = movedOn<3>(input, previous);
    const __m256i special = _mm256_and_si256(
            _mm256_and_si256(lookUp(firstHigh, _mm256_and_si256(_mm256_srli_epi16(prev1, 4), lowNibble)),
                             lookUp(firstLow, _mm256_and_si256(prev1, lowNibble))),
            lookUp(secondHigh, _mm256_and_si256(_mm256_srli_epi16(input, 4), lowNibble)));
    // Only bytes 111_____ are 0x80 or more less 0x60, only 1111____ less 0x70.
    const __m256i mustContinue = _mm256_and_si256(
            _mm256_or_si256(_mm256_subs_epu8(prev2, _mm256_set1_epi8(char(0xE0 - 0x80))),
                            _mm256_subs_epu8(prev3, _mm256_set1_epi8(char(0xF0 - 0x80)))),
            _mm256_set1_epi8(char(0x80)));
    return _mm256_xor_si256(mustContinue, special);
}

__attribute__((target("avx2"))) inline __m256i load(const uchar *p)
{
    return _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p));
}

// 64 bytes at a time. A run of 64 ASCII bytes, most of a text, can only show an error that
// the bytes before leave open; the other runs are looked at without a branch, since a
// text's accents come at random. The tail is read as blocks padded with ASCII, which show
// a sequence that the end cuts short.
__attribute__((target("avx2"))) bool wellFormedBlocks(const uchar *p, const uchar *end)
{
    __m256i errors = _mm256_setzero_si256();
    __m256i previous = _mm256_setzero_si256();
    for (qsizetype runs = 1; end - p >= 64; p += 64, ++runs) {
        const __m256i first = load(p);
        const __m256i second = load(p + 32);
        if (_mm256_movemask_epi8(_mm256_or_si256(first, second)) == 0) {
            if (uint(_mm256_movemask_epi8(previous)) & 0xE0000000u)
                errors = _mm256_or_si256(errors, blockErrors(first, previous));
        } else {
            errors = _mm256_or_si256(errors, _mm256_or_si256(blockErrors(first, previous),
                                                             blockErrors(second, first)));
        }
        previous = second;
        if (runs % 128 == 0 && !_mm256_testz_si256(errors, errors))
            return false;
    }
    alignas(32) uchar tail[64] = {};
    if (end > p)
        std::memcpy(tail, p, size_t(end - p));
    const __m256i first = load(tail);
    errors = _mm256_or_si256(errors, _mm256_or_si256(blockErrors(first, previous),
                                                     blockErrors(load(tail + 32), first)));
    return _mm256_testz_si256(errors, errors);
}
#endif

bool wellFormed(QByteArrayView bytes)
{
    const auto *begin = reinterpret_cast<const uchar *>(bytes.data());
#ifdef __SSE2__
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx2)
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
