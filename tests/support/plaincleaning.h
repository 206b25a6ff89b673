#pragma once

#include <QByteArray>
#include <QChar>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <libpsl.h>

#include <algorithm>
#include <memory>
#include <utility>

// "Adresses seules" done the plain way, for the cleaning to be held to: the field decoded
// with a look at each place in turn, then, around each "@", every candidate local part and
// domain tried against the rules, the longest kept. Header only, as plainpaths.h.

namespace plaincleaning {

inline bool isAsciiHexDigit(QChar c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

inline bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

inline QString textOf(const QList<uint> &characters, qsizetype begin, qsizetype end)
{
    return QString::fromUcs4(reinterpret_cast<const char32_t *>(characters.constData()) + begin, end - begin);
}

// Only the ASCII letters have their case changed.
inline QString asciiLower(QStringView text)
{
    QString lower = text.toString();
    for (QChar &c : lower) {
        if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() - u'A' + u'a');
    }
    return lower;
}

// The character of the reference that starts at i, and its length; a length of 0 where
// none starts.
inline std::pair<char32_t, qsizetype> referenceAt(const QString &field, qsizetype i)
{
    const QStringView rest = QStringView(field).sliced(i);
    const std::pair<const char16_t *, char32_t> named[] = {
        {u"&commat;", u'@'}, {u"&lt;", u'<'}, {u"&gt;", u'>'},
        {u"&quot;", u'"'},   {u"&amp;", u'&'}, {u"&nbsp;", 0xA0},
    };
    for (const auto &[name, character] : named) {
        if (rest.startsWith(QStringView(name)))
            return {character, QStringView(name).size()};
    }
    if (!rest.startsWith(u"&#"))
        return {0, 0};
    const bool hexadecimal = rest.size() > 2 && (rest[2] == u'x' || rest[2] == u'X');
    const qsizetype digitsStart = hexadecimal ? 3 : 2;
    qsizetype digitsEnd = digitsStart;
    while (digitsEnd < rest.size() && (hexadecimal ? isAsciiHexDigit(rest[digitsEnd]) : isAsciiDigit(rest[digitsEnd])))
        ++digitsEnd;
    if (digitsEnd == digitsStart || digitsEnd == rest.size() || rest[digitsEnd] != u';')
        return {0, 0};
    bool ok = false;
    const qulonglong value = rest.sliced(digitsStart, digitsEnd - digitsStart).toULongLong(&ok, hexadecimal ? 16 : 10);
    if (!ok || value == 0 || value > 0x10FFFF || QChar::isSurrogate(char32_t(value)))
        return {0, 0};
    return {char32_t(value), digitsEnd + 1};
}

// The character that the percent-encoded bytes starting at i stand for, if they are
// well-formed UTF-8, and their length; a length of 0 otherwise.
inline std::pair<char32_t, qsizetype> percentEncodedAt(const QString &field, qsizetype i)
{
    QByteArray bytes;
    for (qsizetype j = i; j + 2 < field.size() && field[j] == u'%' && isAsciiHexDigit(field[j + 1])
         && isAsciiHexDigit(field[j + 2]);
         j += 3)
        bytes += char(field.sliced(j + 1, 2).toUInt(nullptr, 16));
    for (qsizetype count = 1; count <= qMin(bytes.size(), qsizetype(4)); ++count) {
        const QByteArray sequence = bytes.first(count);
        if (!sequence.isValidUtf8())
            continue;
        const QList<uint> characters = QString::fromUtf8(sequence).toUcs4();
        if (characters.size() == 1)
            return {characters.first(), 3 * count};
    }
    return {0, 0};
}

inline bool endsMailto(char32_t c)
{
    return c <= 32 || QChar::isSpace(c) || c == u'"' || c == u'\'' || c == u'<' || c == u'>';
}

inline bool endsWithMailto(const QString &text)
{
    return text.size() >= 7 && asciiLower(text.last(7)) == u"mailto:";
}

// Each reference of the field decoded, and after a "mailto:" up to the character that ends
// it, each percent-encoded character; what they give is not decoded again.
inline QString decodedField(const QString &field)
{
    QString decoded;
    bool inMailto = false;
    for (qsizetype i = 0; i < field.size();) {
        auto [character, length] = referenceAt(field, i);
        if (length == 0 && inMailto)
            std::tie(character, length) = percentEncodedAt(field, i);
        if (length > 0) {
            decoded += QString::fromUcs4(&character, 1);
        } else {
            character = field[i].unicode();
            length = 1;
            if (field[i].isHighSurrogate() && i + 1 < field.size() && field[i + 1].isLowSurrogate()) {
                character = QChar::surrogateToUcs4(field[i], field[i + 1]);
                length = 2;
            }
            decoded += field.sliced(i, length);
        }
        i += length;
        if (endsMailto(character))
            inMailto = false;
        else if (endsWithMailto(decoded))
            inMailto = true;
    }
    return decoded;
}

inline bool isLetterOrDigit(char32_t c)
{
    return QChar::isLetter(c) || QChar::isDigit(c);
}

inline bool isInLocalPart(char32_t c)
{
    return isLetterOrDigit(c) || QChar::isMark(c) || (c < 128 && QStringView(u"._%+-'&").contains(QChar(char16_t(c))));
}

inline bool isInDomain(char32_t c)
{
    return isLetterOrDigit(c) || QChar::isMark(c) || c == u'-' || c == u'.';
}

inline bool isLocalPart(const QList<uint> &text, qsizetype begin, qsizetype end)
{
    if (begin == end)
        return false;
    for (qsizetype i = begin; i < end; ++i) {
        if (!isInLocalPart(text[i]) || (text[i] == u'.' && i + 1 < end && text[i + 1] == u'.'))
            return false;
    }
    const char32_t first = text[begin];
    const char32_t last = text[end - 1];
    return first != u'.' && first != u'\'' && !QChar::isMark(first) && last != u'.' && last != u'\'';
}

inline bool isLabel(const QList<uint> &label)
{
    if (label.isEmpty() || !isLetterOrDigit(label.first()) || label.last() == u'-')
        return false;
    for (const char32_t c : label) {
        if (!isLetterOrDigit(c) && !QChar::isMark(c) && c != u'-')
            return false;
    }
    return true;
}

inline QList<QList<uint>> labelsOf(const QList<uint> &text, qsizetype begin, qsizetype end)
{
    QList<QList<uint>> labels{{}};
    for (qsizetype i = begin; i < end; ++i) {
        if (text[i] == u'.')
            labels.append(QList<uint>());
        else
            labels.last().append(text[i]);
    }
    return labels;
}

inline bool isDomainName(const QList<uint> &text, qsizetype begin, qsizetype end)
{
    const QList<QList<uint>> labels = labelsOf(text, begin, end);
    return labels.size() >= 2 && std::all_of(labels.cbegin(), labels.cend(), isLabel);
}

inline bool isAddressLiteral(const QString &literal)
{
    const QStringView inside = QStringView(literal).sliced(1, literal.size() - 2);
    if (asciiLower(inside.first(qMin(inside.size(), qsizetype(5)))) == u"ipv6:") {
        const QStringView rest = inside.sliced(5);
        return !rest.isEmpty() && std::all_of(rest.begin(), rest.end(), [](QChar c) {
            return isAsciiHexDigit(c) || c == u':' || c == u'.';
        });
    }
    const QList<QStringView> numbers = inside.split(u'.');
    return numbers.size() == 4 && std::all_of(numbers.cbegin(), numbers.cend(), [](QStringView number) {
        return !number.isEmpty() && number.size() <= 3
                && std::all_of(number.begin(), number.end(), isAsciiDigit) && number.toInt() <= 255;
    });
}

inline bool isTopLevelDomain(const QList<uint> &label)
{
    static const std::unique_ptr<psl_ctx_t, void (*)(psl_ctx_t *)> latest(psl_latest(nullptr), psl_free);
    const psl_ctx_t *list = latest ? latest.get() : psl_builtin();
    char *lower = nullptr;
    if (psl_str_to_utf8lower(textOf(label, 0, label.size()).toUtf8().constData(), "utf-8", nullptr, &lower)
        != PSL_SUCCESS)
        return false;
    const bool listed = psl_is_public_suffix2(list, lower, PSL_TYPE_ANY | PSL_TYPE_NO_STAR_RULE) == 1;
    psl_free_string(lower);
    return listed;
}

// Where the domain after the "@" at at ends, or -1.
inline qsizetype domainEnd(const QList<uint> &text, qsizetype at)
{
    if (at + 1 < text.size() && text[at + 1] == u'[') {
        const qsizetype close = text.indexOf(u']', at + 1);
        if (close < 0)
            return -1;
        return isAddressLiteral(textOf(text, at + 1, close + 1)) ? close + 1 : -1;
    }
    qsizetype runEnd = at + 1;
    while (runEnd < text.size() && isInDomain(text[runEnd]))
        ++runEnd;
    for (qsizetype end = runEnd; end > at + 1; --end) {
        if (isDomainName(text, at + 1, end))
            return isTopLevelDomain(labelsOf(text, at + 1, end).last()) ? end : -1;
    }
    return -1;
}

} // namespace plaincleaning

// Every address of a field, in order.
inline QStringList plainAddressesInField(const QString &field)
{
    using namespace plaincleaning;
    const QList<uint> text = decodedField(field).toUcs4();
    QStringList addresses;
    qsizetype from = 0;
    for (qsizetype at = 0; at < text.size(); ++at) {
        if (text[at] != u'@')
            continue;
        qsizetype runStart = at;
        while (runStart > from && isInLocalPart(text[runStart - 1]))
            --runStart;
        qsizetype start = runStart;
        while (start < at && !isLocalPart(text, start, at))
            ++start;
        if (start == at)
            continue;
        const qsizetype end = domainEnd(text, at);
        if (end < 0)
            continue;
        addresses.append(textOf(text, start, end));
        from = end;
        at = end - 1;
    }
    return addresses;
}
