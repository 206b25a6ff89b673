#include "extract/extraction.h"

#include "extract/addressextractor.h"

QStringList addressesInText(QStringView text, const Progress &progress, ExtractionOptions options)
{
    return AddressExtractor(options).addressesInText(text, progress);
}

QStringList addressesInFile(const RawTextFile &file, const Progress &progress,
                            ExtractionOptions options)
{
    return AddressExtractor(options).addressesInFile(file, progress);
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
