// The field splitter and the extraction over a text. The first byte chooses how the rest
// becomes text: UTF-8 (lenient) reaches every character, UTF-16 also lone surrogates.
#include "fuzzsupport.h"

#include "extract/addressextractor.h"
#include "extract/extraction.h"
#include "extract/splitfields.h"

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
    return 0;
}
