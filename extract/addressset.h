#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringView>

#include <memory>
#include <vector>

// "Sans doublons": the addresses met so far, two of them being the same when
// QString::compare() with Qt::CaseInsensitive finds them equal. Each is held as a key: its
// units folded as that comparison folds them, so that equal addresses have equal keys.
// A hash set, which keeps no order of its own.
class AddressSet
{
public:
    // Appends the key of address to keys.
    static void appendKey(QStringView address, QByteArray &keys);
    // The same for an address in UTF-8, decoded leniently.
    static void appendKey(QByteArrayView utf8Address, QByteArray &keys);
    static quint64 hash(QByteArrayView key);

    // Adds the address of key; false when an equal one was there already.
    bool insert(QByteArrayView key, quint64 hash);
    bool insert(QStringView address);
    // Asks the memory for the place of a key about to be inserted, so that inserting
    // several keys waits for memory once rather than once each.
    void prefetch(quint64 hash) const;

private:
    // A key's bytes, its size and the low half of its hash, which also says where the
    // slot lies; an empty slot has no bytes.
    struct Slot
    {
        const char *key;
        quint32 size;
        quint32 tag;
    };

    const char *store(QByteArrayView key);
    void grow();

    std::vector<Slot> m_slots;
    qsizetype m_count = 0;
    // The keys' bytes, in blocks that never move.
    std::vector<std::unique_ptr<char[]>> m_blocks;
    qsizetype m_blockLeft = 0;
    char *m_blockEnd = nullptr;
};
