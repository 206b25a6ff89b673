#pragma once

#include "support/testsupport.h"
#include "extract/addressextractor.h"
#include "extract/extraction.h"
#include "extract/splitfields.h"
#include "support/plaincleaning.h"
#include "worklist/linesort.h"
#include "worklist/textfile.h"
#include "worklist/textinput.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QtEndian>

#include <algorithm>

// The plain ways of doing what the program does by faster paths, which the tests and the
// fuzz targets hold those paths to. Header only: the fuzz targets link nothing else.

// The extraction done the plain way: every line of a text with '\n' breaks split on its
// own, every field that holds "@" kept; with "Adresses seules", every address of every
// field instead; with "Sans doublons", every address compared with each one kept before
// it.
inline QStringList plainExtraction(QStringView text, ExtractionOptions options = {})
{
    QStringList found;
    QStringList fields;
    for (QStringView line : text.split(u'\n')) {
        splitFields(line, fields);
        for (const QString &field : std::as_const(fields)) {
            if (options.clean)
                found += plainAddressesInField(field);
            else if (field.contains(u'@'))
                found.append(field);
        }
    }
    if (!options.unique)
        return found;
    QStringList addresses;
    for (const QString &address : std::as_const(found)) {
        const bool seen = std::any_of(addresses.cbegin(), addresses.cend(), [&](const QString &kept) {
            return kept.compare(address, Qt::CaseInsensitive) == 0;
        });
        if (!seen)
            addresses.append(address);
    }
    return addresses;
}

// Addresses as written out: in UTF-8, each followed by '\n'.
inline QByteArray utf8Lines(const QStringList &addresses)
{
    QByteArray bytes;
    for (const QString &address : addresses)
        bytes += address.toUtf8() + '\n';
    return bytes;
}

// All that AddressExtractor::writeAddressesInInput() writes for bytes read as a stream,
// readSize bytes at a time, or, with readSize 0, read as a file.
inline QByteArray writtenAddresses(const QByteArray &bytes, qsizetype readSize,
                                   const AddressExtractor &extractor = AddressExtractor())
{
    TextInput input = readSize > 0 ? TextInput(bytes, readSize) : TextInput(bytes);
    QByteArray all;
    extractor.writeAddressesInInput(input, [&](QByteArrayView piece) { all += piece; });
    return all;
}

// The same with the addresses sorted.
inline QByteArray writtenSortedAddresses(const QByteArray &bytes, qsizetype readSize,
                                         const AddressExtractor &extractor = AddressExtractor())
{
    TextInput input = readSize > 0 ? TextInput(bytes, readSize) : TextInput(bytes);
    QByteArray all;
    extractor.writeSortedAddressesInInput(input, [&](QByteArrayView piece) { all += piece; });
    return all;
}

// A list as sortLines() leaves it.
inline QStringList sorted(QStringList lines)
{
    sortLines(lines);
    return lines;
}

inline QStringList addressesInStream(const QByteArray &bytes, qsizetype readSize,
                                     const AddressExtractor &extractor = AddressExtractor())
{
    TextInput input = readSize > 0 ? TextInput(bytes, readSize) : TextInput(bytes);
    return extractor.addressesInInput(input);
}

// A decoded text as a load shows it: each CR LF, lone CR and lone LF one break, U+0000 a
// space.
inline QString withConvertedBreaks(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(u'\r', u'\n');
    text.replace(QChar(0), u' ');
    return text;
}

