#include "extract/addressset.h"

#include "base/utf8.h"
#include "base/wordhash.h"

#include <QChar>

#include <cstring>
#include <new>

namespace {

// A folded value is written in UTF-8, a surrogate that stands alone as one of three bytes
// too, so that one sequence of bytes reads back as one sequence of values. Returns the end
// of what it wrote.
char *writeFolded(char32_t value, char *out)
{
    if (value < 0x80) {
        *out++ = char(value);
    } else if (value < 0x800) {
        *out++ = char(0xC0 | (value >> 6));
        *out++ = char(0x80 | (value & 0x3F));
    } else if (value < 0x10000) {
        *out++ = char(0xE0 | (value >> 12));
        *out++ = char(0x80 | ((value >> 6) & 0x3F));
        *out++ = char(0x80 | (value & 0x3F));
    } else {
        *out++ = char(0xF0 | (value >> 18));
        *out++ = char(0x80 | ((value >> 12) & 0x3F));
        *out++ = char(0x80 | ((value >> 6) & 0x3F));
        *out++ = char(0x80 | (value & 0x3F));
    }
    return out;
}

// ASCII characters fold as their capitals lower, without a look at the tables.
char32_t folded(char32_t c)
{
    if (c < 0x80)
        return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c;
    return QChar::toCaseFolded(c);
}

// Writes the key of the code points of well-formed UTF-8 bytes as the key of their text
// is written: a character outside the Basic Multilingual Plane is the pair of units of
// the text, its high surrogate folded alone, then the character.
char *writeFoldedUtf8(const uchar *p, const uchar *end, char *out)
{
    while (p < end) {
        char32_t c;
        if (*p < 0x80) {
            c = *p++;
        } else if (*p < 0xE0) {
            c = (char32_t(p[0] & 0x1F) << 6) | (p[1] & 0x3F);
            p += 2;
        } else if (*p < 0xF0) {
            c = (char32_t(p[0] & 0x0F) << 12) | (char32_t(p[1] & 0x3F) << 6) | (p[2] & 0x3F);
            p += 3;
        } else {
            c = (char32_t(p[0] & 0x07) << 18) | (char32_t(p[1] & 0x3F) << 12) | (char32_t(p[2] & 0x3F) << 6)
                    | (p[3] & 0x3F);
            p += 4;
            out = writeFolded(QChar::highSurrogate(c), out);
        }
        out = writeFolded(folded(c), out);
    }
    return out;
}

quint64 mix(quint64 h)
{
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    return h;
}

} // namespace

// QString::compare() folds each unit on its own, except that a low surrogate after a high
// one stands for the character of the pair.
void AddressSet::appendKey(QStringView address, QByteArray &keys)
{
    const qsizetype size = keys.size();
    keys.resize(size + 4 * address.size());
    char *out = keys.data() + size;
    const char16_t *units = reinterpret_cast<const char16_t *>(address.utf16());
    for (qsizetype i = 0; i < address.size(); ++i) {
        char32_t c = units[i];
        if (QChar::isLowSurrogate(c) && i > 0 && QChar::isHighSurrogate(units[i - 1]))
            c = QChar::surrogateToUcs4(units[i - 1], char16_t(c));
        out = writeFolded(folded(c), out);
    }
    keys.truncate(out - keys.constData());
}

// Nearly every address is ASCII: its key is its bytes with the capitals lowered, eight at a
// time, the last eight overlapping those before (lowering twice changes nothing). Any
// other is folded character by character, decoded leniently first when it is not
// well-formed.
void AddressSet::appendKey(QByteArrayView utf8Address, QByteArray &keys)
{
    constexpr quint64 highBits = 0x8080808080808080ull;
    const char *in = utf8Address.data();
    const qsizetype count = utf8Address.size();
    const qsizetype size = keys.size();
    keys.resize(size + count);
    char *out = keys.data() + size;
    const auto fallBack = [&] {
        if (!utf8Address.isValidUtf8()) {
            keys.truncate(size);
            appendKey(decodeUtf8(utf8Address), keys);
            return;
        }
        keys.resize(size + 4 * count);
        const auto *bytes = reinterpret_cast<const uchar *>(in);
        keys.truncate(writeFoldedUtf8(bytes, bytes + count, keys.data() + size) - keys.constData());
    };
    if (count < 8) {
        for (qsizetype i = 0; i < count; ++i) {
            if (uchar(in[i]) >= 0x80)
                return fallBack();
            out[i] = in[i] >= 'A' && in[i] <= 'Z' ? char(in[i] - 'A' + 'a') : in[i];
        }
        return;
    }
    for (qsizetype i = 0;; i += 8) {
        const qsizetype at = qMin(i, count - 8);
        quint64 word;
        std::memcpy(&word, in + at, 8);
        if (word & highBits)
            return fallBack();
        // A byte's high bit is set by adding 0x3F when it is at least 'A', by adding 0x25
        // when it is past 'Z'; ASCII bytes carry nothing into the next one.
        word |= ((word + 0x3F3F3F3F3F3F3F3Full) & ~(word + 0x2525252525252525ull) & highBits) >> 2;
        std::memcpy(out + at, &word, 8);
        if (at == count - 8)
            return;
    }
}

quint64 AddressSet::hash(QByteArrayView key)
{
    return mix(wordHash(key));
}

bool AddressSet::insert(QByteArrayView key, quint64 hash)
{
    if (4 * (m_count + 1) > 3 * qsizetype(m_slotCount))
        grow();
    const quint64 tag = tagOf(hash);
    const size_t mask = m_slotCount - 1;
    for (size_t i = size_t(hash) & mask;; i = (i + 1) & mask) {
        const Slot slot = m_slots[i];
        if (!slot) {
            m_slots[i] = (tag << 48) | quint64(quintptr(store(key, hash)));
            ++m_count;
            return true;
        }
        if (slot >> 48 != tag)
            continue;
        const QByteArrayView stored = keyOf(recordOf(slot));
        if (stored.size() == key.size() && std::memcmp(stored.data(), key.data(), size_t(key.size())) == 0)
            return false;
    }
}

void AddressSet::prefetch(quint64 hash) const
{
    if (m_slotCount > 0)
        __builtin_prefetch(&m_slots[size_t(hash) & (m_slotCount - 1)]);
}

// The key is found past its home slot as often as at it: the slots up to the first empty
// one are looked at, as far as the cache line of the home slot and the next go.
void AddressSet::prefetchKey(quint64 hash) const
{
    if (m_slotCount == 0)
        return;
    const quint64 tag = tagOf(hash);
    const size_t mask = m_slotCount - 1;
    for (size_t i = size_t(hash) & mask, seen = 0; seen < 16; i = (i + 1) & mask, ++seen) {
        const Slot slot = m_slots[i];
        if (!slot)
            return;
        if (slot >> 48 == tag) {
            __builtin_prefetch(recordOf(slot));
            return;
        }
    }
}

// A record is the low 32 bits of the key's hash, then the key's size in one byte, or 0xFF
// and the size in eight for a key of 255 bytes or more, which addresses hardly ever are,
// then its bytes.
QByteArrayView AddressSet::keyOf(const char *record)
{
    const uchar shortSize = uchar(record[4]);
    if (shortSize < 0xFF)
        return QByteArrayView(record + 5, shortSize);
    qsizetype size;
    std::memcpy(&size, record + 5, sizeof size);
    return QByteArrayView(record + 5 + sizeof size, size);
}

// The blocks grow with the set, from 64 KiB to 2 MiB; a key larger than that, which
// addresses never are, gets a block of its own.
const char *AddressSet::store(QByteArrayView key, quint64 hash)
{
    const qsizetype header = key.size() < 0xFF ? 5 : 5 + qsizetype(sizeof(qsizetype));
    const qsizetype recordSize = header + key.size();
    if (m_blocks.empty() || m_blocks.back().size - m_blocks.back().used < recordSize) {
        constexpr qsizetype smallest = 64 * 1024;
        constexpr qsizetype largest = 2 * 1024 * 1024;
        const qsizetype size = qMax(m_blocks.empty() ? smallest : qMin(2 * m_blocks.back().size, largest),
                                    recordSize);
        m_blocks.push_back({std::make_unique_for_overwrite<char[]>(size_t(size)), size, 0});
    }
    Block &block = m_blocks.back();
    char *record = block.bytes.get() + block.used;
    if (quintptr(record) >> 48)
        throw std::bad_alloc();
    const quint32 lowHash = quint32(hash);
    std::memcpy(record, &lowHash, 4);
    if (key.size() < 0xFF) {
        record[4] = char(key.size());
    } else {
        record[4] = char(0xFF);
        const qsizetype size = key.size();
        std::memcpy(record + 5, &size, sizeof size);
    }
    if (!key.isEmpty())
        std::memcpy(record + header, key.data(), size_t(key.size()));
    block.used += recordSize;
    return record;
}

// The records are read in the order they were stored, which memory serves well, rather
// than the old table.
void AddressSet::grow()
{
    m_slotCount = qMax(m_slotCount * 2, size_t(1024));
    m_slots = std::make_unique<Slot[]>(m_slotCount);
    const size_t mask = m_slotCount - 1;
    for (const Block &block : m_blocks) {
        for (const char *record = block.bytes.get(); record < block.bytes.get() + block.used;) {
            const QByteArrayView key = keyOf(record);
            quint32 lowHash;
            std::memcpy(&lowHash, record, 4);
            size_t i = lowHash & mask;
            while (m_slots[i])
                i = (i + 1) & mask;
            m_slots[i] = (tagOf(lowHash) << 48) | quint64(quintptr(record));
            record = key.data() + key.size();
        }
    }
}
