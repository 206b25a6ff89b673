#include "extract/extraction.h"

#include "extract/addressscanner.h"
#include "base/utf8.h"

#include <algorithm>

namespace {

bool isUtf8(TextEncoding encoding)
{
    return encoding == TextEncoding::System || encoding == TextEncoding::Utf8;
}

QString unquote(QString field, bool hasDoubledQuotes)
{
    if (hasDoubledQuotes)
        field.replace(QStringLiteral("\"\""), QStringLiteral("\""));
    return field;
}

// Decodes the bytes of one field exactly as they decode within the whole text. Ill-formed
// bytes give one replacement character each wherever they stand, so a field that starts
// and ends next to ASCII bytes decodes alike on its own, a U+FEFF at its start included.
QString decodeField(const uchar *begin, const uchar *end, bool hasDoubledQuotes)
{
    const QByteArrayView bytes(begin, end);
    QString field = decodeUtf8(bytes);
    if (bytes.contains('\0'))
        field.replace(QChar(0), QChar(u' '));
    return unquote(std::move(field), hasDoubledQuotes);
}

// Well-formed UTF-8 bytes are their own encoding; only the zero bytes, which the text holds
// as spaces, and the doubled quotes need rewriting.
void appendFieldUtf8(QByteArray &out, const uchar *begin, const uchar *end, bool hasDoubledQuotes)
{
    const bool ascii = std::all_of(begin, end, [](uchar b) { return b != 0 && b < 0x80; });
    if (ascii && !hasDoubledQuotes) {
        const qsizetype size = out.size();
        out.resize(size + (end - begin) + 1);
        char *p = std::copy(begin, end, out.data() + size);
        *p = '\n';
        return;
    }
    if (!ascii && !QByteArrayView(begin, end).isValidUtf8()) {
        out += decodeField(begin, end, hasDoubledQuotes).toUtf8();
    } else {
        for (const uchar *p = begin; p < end; ++p) {
            if (*p == 0)
                out += ' ';
            else if (*p != '"' || !hasDoubledQuotes)
                out += char(*p);
            else
                out += char(*p++);
        }
    }
    out += '\n';
}

template <typename Sink>
void scanText(QStringView text, Sink &&sink, const Progress &progress)
{
    AddressScanner<Utf16Text>::scan(reinterpret_cast<const char16_t *>(text.utf16()),
                                    text.size(), sink, progress);
}

template <typename Sink>
void scanBytes(const RawTextFile &file, Sink &&sink, const Progress &progress)
{
    const auto *body = reinterpret_cast<const uchar *>(file.bytes.constData()) + file.bodyStart;
    AddressScanner<Utf8Bytes>::scan(body, file.bytes.size() - file.bodyStart, sink, progress);
}

} // namespace

QStringList addressesInText(QStringView text, const Progress &progress)
{
    QStringList addresses;
    scanText(text, [&](const char16_t *begin, const char16_t *end, bool hasDoubledQuotes) {
        addresses.append(unquote(QStringView(begin, end).toString(), hasDoubledQuotes));
    }, progress);
    return addresses;
}

QStringList addressesInFile(const RawTextFile &file, const Progress &progress)
{
    if (!isUtf8(file.encoding))
        return addressesInText(decodeText(file, progress), progress);

    QStringList addresses;
    scanBytes(file, [&](const uchar *begin, const uchar *end, bool hasDoubledQuotes) {
        addresses.append(decodeField(begin, end, hasDoubledQuotes));
    }, progress);
    return addresses;
}

void writeAddressesInFile(const RawTextFile &file, QByteArray &out,
                            const std::function<void(QByteArray &out)> &flush,
                            const Progress &progress)
{
    const auto flushWhenFull = [&] {
        if (out.size() >= addressFlushSize)
            flush(out);
    };

    if (!isUtf8(file.encoding)) {
        scanText(decodeText(file, progress),
                 [&](const char16_t *begin, const char16_t *end, bool hasDoubledQuotes) {
            out += unquote(QStringView(begin, end).toString(), hasDoubledQuotes).toUtf8();
            out += '\n';
            flushWhenFull();
        }, progress);
        return;
    }

    scanBytes(file, [&](const uchar *begin, const uchar *end, bool hasDoubledQuotes) {
        appendFieldUtf8(out, begin, end, hasDoubledQuotes);
        flushWhenFull();
    }, progress);
}

void writeAddresses(const QStringList &addresses, QByteArray &out,
                    const std::function<void(QByteArray &out)> &flush)
{
    for (const QString &address : addresses) {
        out += address.toUtf8();
        out += '\n';
        if (out.size() >= addressFlushSize)
            flush(out);
    }
}
