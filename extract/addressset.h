#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringView>

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

private:
    void grow();

    // Each slot holds the low half of a key's hash and one more than its index, 0 when
    // empty; the low half also says where the slot lies.
    std::vector<quint64> m_slots;
    QByteArray m_keys;
    std::vector<qsizetype> m_keyEnds;
};
