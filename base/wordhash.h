#pragma once

#include <QByteArrayView>

#include <cstring>

// A quick hash of bytes, taken eight at a time, for the hash tables of the extraction and
// of the sort. Its low bits are weak: each table mixes the result to its own needs.
inline quint64 wordHash(QByteArrayView bytes)
{
    constexpr quint64 multiplier = 0x9E3779B97F4A7C15ull;
    const char *p = bytes.data();
    qsizetype left = bytes.size();
    quint64 h = multiplier ^ quint64(left);
    for (; left >= 8; p += 8, left -= 8) {
        quint64 word;
        std::memcpy(&word, p, 8);
        h = (h ^ word) * multiplier;
        h ^= h >> 29;
    }
    quint64 word = 0;
    if (left > 0)
        std::memcpy(&word, p, size_t(left));
    return (h ^ word) * multiplier;
}
