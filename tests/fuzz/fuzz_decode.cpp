// Decoding a file's bytes with the break conversion, and the extraction straight from the
// bytes. The break conversion is checked against a plain rewrite of the text decoded
// without it.
#include "fuzzsupport.h"
#include "support/testsupport.h"

#include "extract/addressextractor.h"
#include "base/utf8.h"
#include "extract/extraction.h"
#include "worklist/textfile.h"

#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <QStringList>
#include <QtEndian>

#include <cstddef>
#include <cstdint>

namespace {

// The body decoded without any break conversion: UTF-16 unit by unit, Windows-1252 with
// its UTF-8 sequences by mixedTextReference(), else UTF-8 with ill-formed bytes replaced.
QString decodedUnits(const RawTextFile &file)
{
    const QByteArrayView body = QByteArrayView(file.bytes).sliced(file.bodyStart);
    if (file.encoding == TextEncoding::Utf16LittleEndian || file.encoding == TextEncoding::Utf16BigEndian) {
        QString text;
        for (qsizetype i = 0; i + 1 < body.size(); i += 2) {
            const uchar first = uchar(body[i]);
            const uchar second = uchar(body[i + 1]);
            text += QChar(file.encoding == TextEncoding::Utf16LittleEndian ? char16_t(first | second << 8)
                                                              : char16_t(first << 8 | second));
        }
        return text;
    }
    if (file.encoding == TextEncoding::Windows1252)
        return mixedTextReference(body);
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless
                                   | QStringConverter::Flag::ConvertInitialBom);
    return decoder.decode(body);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const RawTextFile file = rawTextFromBytes(bytes);
    const QString text = decodeText(file);

    require(isWellFormedUtf8(bytes) == QByteArrayView(bytes).isValidUtf8(),
            "the UTF-8 check agrees with Qt's");
    require((file.encoding == TextEncoding::Windows1252)
                    == (file.bodyStart == 0 && !QByteArrayView(bytes).isValidUtf8()),
            "bytes without a mark that are not UTF-8 are Windows-1252");

    require(!text.contains(QChar(0)), "decoded text holds no U+0000");
    require(!text.contains(u'\r'), "decoded text holds no CR");
    require(text == withConvertedBreaks(decodedUnits(file)),
            "every CR LF, lone CR and lone LF becomes one break");
    require(decodeParagraphs(file) == text.split(u'\n'),
            "the text decoded line by line is the decoded text cut at its breaks");

    const QStringList plain = plainExtraction(text);
    require(addressesInText(text) == plain,
            "the extraction over the decoded text gives the plain result");
    require(addressesInFile(file) == plain,
            "the extraction from the bytes gives the extraction over the decoded text");

    // The input's length chooses how the work is cut, so that pieces and reads end
    // everywhere: inside quotes, characters and marks, beside an "@", between CR and LF.
    AddressExtractor extractor;
    extractor.setPieceSize(qsizetype(1 + size % 7));
    extractor.setThreadCount(int(1 + size % 3));
    const qsizetype readSize = qsizetype(size / 7 % 5);
    require(extractor.addressesInFile(file) == plain,
            "the extraction from the bytes cut in pieces gives the plain result");
    require(writtenAddresses(bytes, readSize, extractor) == utf8Lines(plain),
            "the addresses written from the bytes read as a stream or a file are the plain result");
    require(addressesInStream(bytes, readSize, extractor) == plain,
            "the addresses of the bytes read as a stream or a file are the plain result");
    // A sort takes a collator of its own: one input in four is checked sorted.
    if (size % 4 == 0) {
        require(writtenSortedAddresses(bytes, readSize, extractor) == utf8Lines(sorted(plain)),
                "the sorted addresses written from the bytes are the plain result, sorted");
    }
    return 0;
}
