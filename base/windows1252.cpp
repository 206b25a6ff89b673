#include "base/windows1252.h"

#include <cstring>

namespace {

constexpr char16_t high[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// The length of the well-formed UTF-8 sequence at p, 0 when there is none; -1 when the
// bytes up to end are the start of one that more bytes could complete.
int sequenceLength(const uchar *p, const uchar *end)
{
    const uchar lead = p[0];
    int length = 0;
    uchar low = 0x80;
    uchar high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    for (int i = 1; i < length; ++i) {
        if (p + i == end)
            return -1;
        const uchar next = p[i];
        if (next < (i == 1 ? low : 0x80) || next > (i == 1 ? high : 0xBF))
            return 0;
    }
    return length;
}

} // namespace

char16_t windows1252Unit(uchar byte)
{
    return byte >= 0x80 && byte < 0xA0 ? high[byte - 0x80] : char16_t(byte);
}

QString decodeWindows1252(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    char16_t *unit = reinterpret_cast<char16_t *>(text.data());
    for (const char byte : bytes)
        *unit++ = windows1252Unit(uchar(byte));
    return text;
}

QString decodeMixedText(QByteArrayView bytes)
{
    // A byte gives one UTF-16 unit at most: a sequence of four gives two.
    QString text(bytes.size(), Qt::Uninitialized);
    char16_t *const start = reinterpret_cast<char16_t *>(text.data());
    char16_t *unit = start;
    const auto *p = reinterpret_cast<const uchar *>(bytes.data());
    const uchar *const end = p + bytes.size();
    while (p < end) {
        const int length = *p < 0x80 ? 1 : sequenceLength(p, end);
        if (length == 1) {
            *unit++ = *p++;
            continue;
        }
        if (length <= 0) {
            *unit++ = windows1252Unit(*p++);
            continue;
        }
        char32_t character = *p & (0x7F >> length);
        for (int i = 1; i < length; ++i)
            character = character << 6 | (p[i] & 0x3F);
        p += length;
        if (QChar::requiresSurrogates(character)) {
            *unit++ = QChar::highSurrogate(character);
            *unit++ = QChar::lowSurrogate(character);
        } else {
            *unit++ = char16_t(character);
        }
    }
    text.truncate(unit - start);
    return text;
}

qsizetype mixedTextToUtf8(QByteArrayView bytes, bool final, char *out, qsizetype *used)
{
    const auto *p = reinterpret_cast<const uchar *>(bytes.data());
    const uchar *const end = p + bytes.size();
    char *const start = out;
    while (p < end) {
        // ASCII runs go eight bytes at a time.
        while (end - p >= 8) {
            quint64 word;
            std::memcpy(&word, p, 8);
            if (word & 0x8080808080808080ull)
                break;
            std::memcpy(out, p, 8);
            p += 8;
            out += 8;
        }
        if (p == end)
            break;
        if (*p < 0x80) {
            *out++ = char(*p++);
            continue;
        }
        const int length = sequenceLength(p, end);
        if (length < 0 && !final)
            break;
        if (length > 0) {
            std::memcpy(out, p, size_t(length));
            out += length;
            p += length;
            continue;
        }
        const char16_t unit = windows1252Unit(*p++);
        if (unit < 0x800) {
            *out++ = char(0xC0 | unit >> 6);
        } else {
            *out++ = char(0xE0 | unit >> 12);
            *out++ = char(0x80 | ((unit >> 6) & 0x3F));
        }
        *out++ = char(0x80 | (unit & 0x3F));
    }
    *used = p - reinterpret_cast<const uchar *>(bytes.data());
    return out - start;
}
