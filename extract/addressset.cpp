#include "extract/addressset.h"

#include "base/utf8.h"
#include "base/wordhash.h"

#include <QChar>

#include <cstring>
#include <new>

namespace {

// A folded value below 0x80 is its own byte; any other is 0xFF and three bytes, so that
// one sequence of bytes reads back as one sequence of values.
void appendFolded(char32_t value, QByteArray &keys)
{
    if (value < 0x80) {
        keys += char(value);
        return;
    }
    const char bytes[] = {'\xFF', char(value >> 16), char(value >> 8), char(value)};
    keys.append(bytes, sizeof bytes);
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
    const char16_t *units = reinterpret_cast<const char16_t *>(address.utf16());
    for (qsizetype i = 0; i < address.size(); ++i) {
        char32_t c = units[i];
        if (QChar::isLowSurrogate(c) && i > 0 && QChar::isHighSurrogate(units[i - 1]))
            c = QChar::surrogateToUcs4(units[i - 1], char16_t(c));
        appendFolded(QChar::toCaseFolded(c), keys);
    }
}

// Nearly every address is ASCII: its key is its bytes with the capitals lowered, eight at a
// time, the last eight overlapping those before (lowering twice changes nothing). Any
// other is decoded and folded as a text.
void AddressSet::appendKey(QByteArrayView utf8Address, QByteArray &keys)
{
    constexpr quint64 highBits = 0x8080808080808080ull;
    const char *in = utf8Address.data();
    const qsizetype count = utf8Address.size();
    const qsizetype size = keys.size();
    keys.resize(size + count);
    char *out = keys.data() + size;
    const auto fallBack = [&] {
        keys.truncate(size);
        appendKey(decodeUtf8(utf8Address), keys);
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
    if (8 * (m_count + 1) > 5 * qsizetype(m_slotCount))
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

void AddressSet::prefetchKey(quint64 hash) const
{
    if (m_slotCount == 0)
        return;
    const Slot slot = m_slots[size_t(hash) & (m_slotCount - 1)];
    if (slot && slot >> 48 == tagOf(hash))
        __builtin_prefetch(recordOf(slot));
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
