#include "extract/addressset.h"

#include "base/utf8.h"
#include "base/wordhash.h"

#include <QChar>

#include <algorithm>
#include <cstring>

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

void AddressSet::appendKey(QByteArrayView utf8Address, QByteArray &keys)
{
    const bool ascii = std::all_of(utf8Address.begin(), utf8Address.end(),
                                   [](char c) { return uchar(c) < 0x80; });
    if (!ascii) {
        appendKey(decodeUtf8(utf8Address), keys);
        return;
    }
    const qsizetype size = keys.size();
    keys.resize(size + utf8Address.size());
    std::transform(utf8Address.begin(), utf8Address.end(), keys.data() + size, [](char c) {
        return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
    });
}

quint64 AddressSet::hash(QByteArrayView key)
{
    return mix(wordHash(key));
}

bool AddressSet::insert(QByteArrayView key, quint64 hash)
{
    if (2 * (m_count + 1) > qsizetype(m_slots.size()))
        grow();
    const quint32 tag = quint32(hash);
    const size_t mask = m_slots.size() - 1;
    for (size_t i = tag & mask;; i = (i + 1) & mask) {
        Slot &slot = m_slots[i];
        if (!slot.key) {
            slot = {store(key), quint32(key.size()), tag};
            ++m_count;
            return true;
        }
        if (slot.tag == tag && slot.size == quint32(key.size())
            && std::memcmp(slot.key, key.data(), size_t(key.size())) == 0)
            return false;
    }
}

bool AddressSet::insert(QStringView address)
{
    QByteArray key;
    appendKey(address, key);
    return insert(key, hash(key));
}

void AddressSet::prefetch(quint64 hash) const
{
    if (!m_slots.empty())
        __builtin_prefetch(&m_slots[quint32(hash) & (m_slots.size() - 1)]);
}

// A key longer than a block, which addresses never are, gets a block of its own.
const char *AddressSet::store(QByteArrayView key)
{
    constexpr qsizetype blockSize = 256 * 1024;
    if (key.size() > m_blockLeft) {
        const qsizetype size = qMax(blockSize, key.size());
        m_blocks.push_back(std::make_unique_for_overwrite<char[]>(size_t(size)));
        m_blockEnd = m_blocks.back().get() + size;
        m_blockLeft = size;
    }
    char *stored = m_blockEnd - m_blockLeft;
    if (!key.isEmpty())
        std::memcpy(stored, key.data(), size_t(key.size()));
    m_blockLeft -= key.size();
    return stored;
}

void AddressSet::grow()
{
    std::vector<Slot> table(qMax(m_slots.size() * 2, size_t(1024)), Slot{nullptr, 0, 0});
    const size_t mask = table.size() - 1;
    for (const Slot &slot : m_slots) {
        if (!slot.key)
            continue;
        size_t i = slot.tag & mask;
        while (table[i].key)
            i = (i + 1) & mask;
        table[i] = slot;
    }
    m_slots = std::move(table);
}
