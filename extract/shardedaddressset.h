#pragma once

#include "extract/addressset.h"

#include <QByteArray>

#include <algorithm>
#include <array>
#include <atomic>
#include <vector>

// "Sans doublons" over the pieces of a text that several threads work on at once. The
// addresses met so far are split by hash among shards, each an AddressSet. The pieces are
// numbered 0, 1, 2, ... in the order of the text, and each marks the first ones among its
// own addresses on its own thread: a shard takes the pieces one at a time in their order,
// so that while one thread marks a piece in one shard, another marks the next piece in the
// shard before, and the first of equal addresses is always the one that comes first in
// the text. Every number must come through once, by markFirstOnes() or by skip(), since
// the pieces after it wait for it.
class ShardedAddressSet
{
public:
    // Sets firsts[i] to whether key i, which ends at keyEnds[i] in keys and has the hash
    // hashes[i] (AddressSet::appendKey() and AddressSet::hash()), is the first of its
    // address. Waits for the pieces before. order is room this call may use.
    void markFirstOnes(quint32 piece, const QByteArray &keys, const std::vector<qsizetype> &keyEnds,
                       const std::vector<quint64> &hashes, std::vector<uchar> &firsts,
                       std::vector<quint32> &order);
    // Lets the pieces after piece go on without it, once those before it are done: for a
    // piece whose work failed.
    void skip(quint32 piece);

private:
    static constexpr int shardBits = 2;
    static constexpr int shardCount = 1 << shardBits;

    // A shard on cache lines of its own, so that two threads in two shards do not share
    // one.
    struct alignas(64) Shard
    {
        // The number of the piece whose turn it is.
        std::atomic<quint32> turn = 0;
        AddressSet set;
    };

    static quint32 shardOf(quint64 hash) { return quint32(hash >> (64 - shardBits)); }
    static void waitTurn(const Shard &shard, quint32 piece);
    static void passTurn(Shard &shard, quint32 piece);

    std::array<Shard, shardCount> m_shards;
};
