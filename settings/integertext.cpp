#include "settings/integertext.h"

namespace {

int hexDigitValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

} // namespace

bool integerFromText(QStringView text, qint32 *value)
{
    qsizetype i = 0;
    while (i < text.size() && text[i] == u' ')
        ++i;

    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }

    QStringView rest = text.sliced(i);
    bool hex = false;
    if (rest.startsWith(u'$') || rest.startsWith(u'x') || rest.startsWith(u'X')) {
        hex = true;
        rest = rest.sliced(1);
    } else if (rest.startsWith(u"0x") || rest.startsWith(u"0X")) {
        hex = true;
        rest = rest.sliced(2);
    }
    if (rest.isEmpty())
        return false;

    if (hex) {
        quint64 bits = 0;
        for (QChar c : rest) {
            const int digit = hexDigitValue(c);
            if (digit < 0)
                return false;
            bits = bits * 16 + digit;
            if (bits > 0xFFFFFFFFu)
                return false;
        }
        // The sign negates the 32-bit pattern, wrapping as 32-bit arithmetic does.
        const quint32 pattern = negative ? 0u - quint32(bits) : quint32(bits);
        *value = qint32(pattern);
        return true;
    }

    const qint64 limit = negative ? 2147483648LL : 2147483647LL;
    qint64 magnitude = 0;
    for (QChar c : rest) {
        const char16_t u = c.unicode();
        if (u < u'0' || u > u'9')
            return false;
        magnitude = magnitude * 10 + (u - u'0');
        if (magnitude > limit)
            return false;
    }
    *value = qint32(negative ? -magnitude : magnitude);
    return true;
}
