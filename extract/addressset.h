#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringView>

#include <memory>
#include <vector>

// "Sans doublons": the addresses met so far, two of them being the same when
// QString::compare() with Qt::CaseInsensitive finds them equal. Each is held as a key: its
// units folded as that comparison folds them, so that equal addresses have equal keys.
// A hash set, which keeps no order of its own. It is made to touch little memory, since a
// set of a large file's addresses is larger than the caches: a slot is one word, and the
// keys lie one after the other in large blocks.
class AddressSet
{
public:
    AddressSet() = default;
    AddressSet(const AddressSet &) = delete;
    AddressSet &operator=(const AddressSet &) = delete;

    // Appends the key of address to keys.
    static void appendKey(QStringView address, QByteArray &keys);
    // The same for an address in UTF-8, decoded leniently.
    static void appendKey(QByteArrayView utf8Address, QByteArray &keys);
    static quint64 hash(QByteArrayView key);

    // Adds the address of key; false when an equal one was there already.
    bool insert(QByteArrayView key, quint64 hash);
    // Asks the memory for the place of a key about to be inserted, so that inserting
    // several keys waits for memory once rather than once each; then, once that place has
    // come, for the key it holds.
    void prefetch(quint64 hash) const;
    void prefetchKey(quint64 hash) const;

private:
    // A slot holds where a key's record lies in its low 48 bits, which are all an address
    // of the process uses, and bits 16 to 31 of the key's hash, its tag, in the high ones;
    // an empty slot is 0. A record holds the low half of the hash, so that growing the
    // table reads the records of each block one after the other rather than the old table.
    using Slot = quint64;
    struct Block
    {
        std::unique_ptr<char[]> bytes;
        qsizetype size = 0;
        qsizetype used = 0;
    };

    static quint64 tagOf(quint64 hash) { return (hash >> 16) & 0xFFFF; }
    static const char *recordOf(Slot slot) { return reinterpret_cast<const char *>(slot & 0xFFFFFFFFFFFFull); }
    static QByteArrayView keyOf(const char *record);

    const char *store(QByteArrayView key, quint64 hash);
    void grow();

    std::unique_ptr<Slot[]> m_slots;
    size_t m_slotCount = 0;
    qsizetype m_count = 0;
    std::vector<Block> m_blocks;
};
