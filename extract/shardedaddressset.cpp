#include "extract/shardedaddressset.h"

void ShardedAddressSet::markFirstOnes(quint32 piece, const QByteArray &keys,
                                      const std::vector<qsizetype> &keyEnds,
                                      const std::vector<quint64> &hashes, std::vector<uchar> &firsts,
                                      std::vector<quint32> &order)
{
    int shard = 0;
    try {
        // The keys of each shard, in the order of the piece.
        std::array<qsizetype, shardCount + 1> starts{};
        for (const quint64 hash : hashes)
            ++starts[shardOf(hash) + 1];
        for (int s = 0; s < shardCount; ++s)
            starts[s + 1] += starts[s];
        order.resize(hashes.size());
        std::array<qsizetype, shardCount> next;
        std::copy_n(starts.begin(), shardCount, next.begin());
        for (size_t i = 0; i < hashes.size(); ++i)
            order[size_t(next[shardOf(hashes[i])]++)] = quint32(i);
        firsts.resize(hashes.size());

        constexpr qsizetype ahead = 16;
        for (; shard < shardCount; ++shard) {
            Shard &current = m_shards[size_t(shard)];
            waitTurn(current, piece);
            for (qsizetype k = starts[shard]; k < starts[shard + 1]; ++k) {
                if (k + 2 * ahead < starts[shard + 1])
                    current.set.prefetch(hashes[order[size_t(k + 2 * ahead)]]);
                if (k + ahead < starts[shard + 1])
                    current.set.prefetchKey(hashes[order[size_t(k + ahead)]]);
                const quint32 i = order[size_t(k)];
                const qsizetype keyBegin = i == 0 ? 0 : keyEnds[i - 1];
                firsts[i] = current.set.insert(QByteArrayView(keys).sliced(keyBegin, keyEnds[i] - keyBegin),
                                               hashes[i]);
            }
            passTurn(current, piece);
        }
    } catch (...) {
        for (; shard < shardCount; ++shard) {
            waitTurn(m_shards[size_t(shard)], piece);
            passTurn(m_shards[size_t(shard)], piece);
        }
        throw;
    }
}

void ShardedAddressSet::skip(quint32 piece)
{
    for (Shard &shard : m_shards) {
        waitTurn(shard, piece);
        passTurn(shard, piece);
    }
}

void ShardedAddressSet::waitTurn(const Shard &shard, quint32 piece)
{
    for (quint32 turn = shard.turn.load(std::memory_order_acquire); turn != piece;
         turn = shard.turn.load(std::memory_order_acquire))
        shard.turn.wait(turn, std::memory_order_acquire);
}

void ShardedAddressSet::passTurn(Shard &shard, quint32 piece)
{
    shard.turn.store(piece + 1, std::memory_order_release);
    shard.turn.notify_all();
}
