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
