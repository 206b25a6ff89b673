// The integer text rules against a small parser written here from the rules: leading
// spaces, at most one sign, decimal digits, or hexadecimal digits after "$", "x", "X",
// "0x" or "0X" read as a 32-bit pattern that a "-" negates; nothing else anywhere.
// Every byte of the input is one unit (Latin-1); an odd first byte reads the rest as
// UTF-8 instead, to bring in digits and spaces of other scripts, which never count.
#include "fuzzsupport.h"

#include "settings/integertext.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace {

std::optional<int32_t> referenceParse(const std::u16string &s)
{
    size_t i = s.find_first_not_of(u' ');
    if (i == std::u16string::npos)
        return std::nullopt;
    bool negative = false;
    if (s[i] == u'+' || s[i] == u'-')
        negative = s[i++] == u'-';

    std::u16string digits;
    int base = 10;
    if (s.compare(i, 2, u"0x") == 0 || s.compare(i, 2, u"0X") == 0) {
        base = 16;
        digits = s.substr(i + 2);
    } else if (i < s.size() && (s[i] == u'$' || s[i] == u'x' || s[i] == u'X')) {
        base = 16;
        digits = s.substr(i + 1);
    } else {
        digits = s.substr(i);
    }
    if (digits.empty())
        return std::nullopt;

    const std::u16string allowed = base == 16 ? u"0123456789abcdefABCDEF" : u"0123456789";
    if (digits.find_first_not_of(allowed) != std::u16string::npos)
        return std::nullopt;
    const size_t firstSignificant = digits.find_first_not_of(u'0');
    const std::u16string significant = firstSignificant == std::u16string::npos
            ? std::u16string()
            : digits.substr(firstSignificant);
    if (significant.size() > (base == 16 ? 8u : 10u))
        return std::nullopt;

    int64_t magnitude = 0;
    for (char16_t c : significant) {
        const int digit = c <= u'9' ? c - u'0' : (c | 0x20) - u'a' + 10;
        magnitude = magnitude * base + digit;
    }
    if (base == 16) {
        const uint32_t pattern = uint32_t(magnitude);
        return int32_t(negative ? uint32_t(0) - pattern : pattern);
    }
    if (negative)
        magnitude = -magnitude;
    if (magnitude < INT32_MIN || magnitude > INT32_MAX)
        return std::nullopt;
    return int32_t(magnitude);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const auto *body = reinterpret_cast<const char *>(data + 1);
    const QString text = (data[0] & 1) ? QString::fromUtf8(body, qsizetype(size - 1))
                                       : QString::fromLatin1(body, qsizetype(size - 1));

    const std::optional<int32_t> expected = referenceParse(text.toStdU16String());
    qint32 value = 12345;
    const bool converted = integerFromText(text, &value);
    require(converted == expected.has_value(),
            "the rules accept exactly what the reference accepts");
    if (converted)
        require(value == *expected, "the rules give the reference's number");
    else
        require(value == 12345, "a failed conversion leaves the number alone");

    // Every number survives its own decimal and hexadecimal texts.
    if (size >= 5) {
        const int32_t number = int32_t(uint32_t(data[1]) | uint32_t(data[2]) << 8
                                       | uint32_t(data[3]) << 16 | uint32_t(data[4]) << 24);
        qint32 decimal = 0;
        require(integerFromText(QString::number(number), &decimal) && decimal == number,
                "a decimal text reads back");
        qint32 hex = 0;
        require(integerFromText(QStringLiteral("$") + QString::number(uint32_t(number), 16), &hex)
                        && hex == number,
                "a hexadecimal text reads back");
    }
    return 0;
}
