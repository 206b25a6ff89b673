#pragma once

#include <QByteArrayView>

#include <cstring>

// Up to eight bytes from p as one word, the first in its low byte, the rest of it clear,
// read in at most two loads, the second overlapping the first (or-ing the same bytes
// changes nothing): a copy of a variable count into a word would make its load wait.
inline quint64 wordOfBytes(const char *p, qsizetype count)
{
    const auto load = [](const char *at, auto word) {
        std::memcpy(&word, at, sizeof word);
        return quint64(word);
    };
    if (count >= 8)
        return load(p, quint64());
    if (count >= 4)
        return load(p, quint32()) | load(p + count - 4, quint32()) << (8 * (count - 4));
    quint64 word = 0;
    for (qsizetype i = 0; i < count; ++i)
        word |= quint64(uchar(p[i])) << (8 * i);
    return word;
}

// A quick hash of bytes, taken eight at a time, for the hash tables of the extraction and
// of the sort; the last eight overlap those before when there are more than eight. Its
// low bits are weak: each table mixes the result to its own needs.
inline quint64 wordHash(QByteArrayView bytes)
{
    constexpr quint64 multiplier = 0x9E3779B97F4A7C15ull;
    const char *p = bytes.data();
    qsizetype left = bytes.size();
    quint64 h = multiplier ^ quint64(left);
    for (; left > 8; p += 8, left -= 8) {
        quint64 word;
        std::memcpy(&word, p, 8);
        h = (h ^ word) * multiplier;
        h ^= h >> 29;
    }
    const quint64 word = bytes.size() >= 8 ? wordOfBytes(p + left - 8, 8) : wordOfBytes(p, left);
    return (h ^ word) * multiplier;
}
