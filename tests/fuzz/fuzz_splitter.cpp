// The field splitter and the extraction over a text, and the cleaning of addresses. The
// first byte chooses how the rest becomes text: UTF-8 (lenient) reaches every character,
// UTF-16 also lone surrogates.
#include "fuzzsupport.h"

#include "extract/addresscleaner.h"
#include "extract/addressextractor.h"
#include "extract/extraction.h"
#include "extract/splitfields.h"

#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>

namespace {

QString textFrom(const uint8_t *data, size_t size)
{
    if (size == 0)
        return QString();
    const auto *body = reinterpret_cast<const char *>(data + 1);
    if (data[0] & 1) {
        QString text((size - 1) / 2, Qt::Uninitialized);
        for (qsizetype i = 0; i < text.size(); ++i)
            text[i] = QChar(char16_t(uint8_t(body[2 * i]) | (uint8_t(body[2 * i + 1]) << 8)));
        return text;
    }
    return QString::fromUtf8(body, qsizetype(size - 1));
}

bool isBlank(QChar c)
{
    return c.unicode() >= 1 && c.unicode() <= 32;
}

void checkLine(QStringView line)
{
    // The list is emptied first: fields of an earlier line never stay in it.
    QStringList fields{QStringLiteral("stale@field")};
    splitFields(line, fields);

    QStringList again;
    splitFields(line, again);
    require(fields == again, "the same line gives the same fields");

    const qsizetype nul = line.indexOf(QChar(0));
    const QStringView counted = nul < 0 ? line : line.first(nul);
    if (counted.contains(u'"'))
        return;
    // Without quotes every field is a piece of the line between separators: it holds no
    // blank and no delimiter, and the fields stand in the line in their order.
    qsizetype from = 0;
    for (const QString &field : std::as_const(fields)) {
        for (QChar c : field)
            require(!isBlank(c) && c != u',' && c != QChar(0), "a plain field holds no separator");
        const qsizetype at = counted.indexOf(field, from);
        require(at >= 0, "the fields stand in the line in order");
        from = at + field.size();
    }
}

// The shape a cleaned address has, read independently of the cleaner: one "@"; a local
// part of letters, digits and marks and of ._%+-'& that does not start with a dot, an
// apostrophe or a mark, does not end with a dot or an apostrophe and holds no two dots in
// a row; a domain of at least two labels of letters, digits, marks and inner hyphens,
// that open with a letter or a digit, or an address literal.
bool hasAddressShape(const QString &address)
{
    const QStringList parts = address.split(u'@');
    if (parts.size() != 2 || parts.at(0).isEmpty())
        return false;
    const QList<uint> local = parts.at(0).toUcs4();
    for (qsizetype i = 0; i < local.size(); ++i) {
        const char32_t c = local.at(i);
        const bool symbol = c < 128 && QByteArrayView("._%+-'&").contains(char(c));
        if (!QChar::isLetter(c) && !QChar::isDigit(c) && !QChar::isMark(c) && !symbol)
            return false;
        if (c == u'.' && i + 1 < local.size() && local.at(i + 1) == u'.')
            return false;
    }
    if (local.first() == u'.' || local.first() == u'\'' || QChar::isMark(local.first())
        || local.last() == u'.' || local.last() == u'\'')
        return false;
    const QString &domain = parts.at(1);
    if (domain.startsWith(u'[')) {
        static const QRegularExpression literal(QStringLiteral(
                "^\\[(?:([0-9]{1,3})\\.([0-9]{1,3})\\.([0-9]{1,3})\\.([0-9]{1,3})|[Ii][Pp][Vv]6:[0-9A-Fa-f:.]+)\\]$"));
        const QRegularExpressionMatch match = literal.match(domain);
        if (!match.hasMatch())
            return false;
        for (int i = 1; i <= 4; ++i) {
            if (!match.captured(i).isEmpty() && match.captured(i).toInt() > 255)
                return false;
        }
        return true;
    }
    const QStringList labels = domain.split(u'.');
    if (labels.size() < 2)
        return false;
    for (const QString &label : labels) {
        const QList<uint> characters = label.toUcs4();
        if (characters.isEmpty() || label.startsWith(u'-') || label.endsWith(u'-'))
            return false;
        for (qsizetype i = 0; i < characters.size(); ++i) {
            const char32_t c = characters.at(i);
            const bool letterOrDigit = QChar::isLetter(c) || QChar::isDigit(c);
            if (!letterOrDigit && (i == 0 || (c != u'-' && !QChar::isMark(c))))
                return false;
        }
    }
    // toUcs4() turns a lone surrogate into U+FFFD, which is no letter: none got through.
    return true;
}

QStringList cleanedAgain(const QString &address)
{
    AddressCleaner<QStringView> cleaner;
    QStringList addresses;
    for (const QStringView found : cleaner.addressesIn(address))
        addresses.append(found.toString());
    return addresses;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = textFrom(data, size);
    const QStringList lines = text.split(u'\n');
    for (const QString &line : lines)
        checkLine(line);

    const QStringList plain = plainExtraction(text);
    for (const QString &address : plain)
        require(address.contains(u'@'), "every retained field holds @");

    require(addressesInText(text) == plain,
            "the extraction over a whole text gives the plain result");
    AddressExtractor extractor;
    extractor.setPieceSize(qsizetype(1 + size % 5));
    extractor.setThreadCount(int(1 + size % 3));
    require(extractor.addressesInText(text) == plain,
            "the extraction over a text cut in pieces gives the plain result");

    const QStringList cleaned = addressesInText(text, {}, {true, false});
    for (const QString &address : cleaned) {
        require(hasAddressShape(address), "a cleaned address has the shape of an address");
        require(cleanedAgain(address) == QStringList{address},
                "a cleaned address stays as it is when cleaned again");
    }
    require(cleaned == plainExtraction(text, {true, false}),
            "the cleaning gives every address of each field, as the plain cleaning does");
    AddressExtractor cleaner({true, true});
    cleaner.setPieceSize(qsizetype(1 + size % 7));
    cleaner.setThreadCount(int(1 + size % 2));
    const QStringList unique = plainExtraction(text, {true, true});
    require(cleaner.addressesInText(text) == unique,
            "only the first of the cleaned addresses that compare equal stays");
    const RawTextFile file = rawTextFromBytes(text.toUtf8());
    require(cleaner.addressesInFile(file) == plainExtraction(decodeText(file), {true, true}),
            "the cleaning of a file's bytes gives what the plain cleaning of its text gives");
    return 0;
}
