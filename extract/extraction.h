#pragma once

#include "base/progress.h"
#include "worklist/textfile.h"

#include <QByteArray>
#include <QStringList>
#include <QStringView>

#include <functional>

// The fields that contain "@" of every line of a text whose line breaks are '\n', as
// splitFields() cuts each line, in the order found and with duplicates kept.
QStringList addressesInText(QStringView text, const Progress &progress = {});

// The same over the text that decodeText() gives for file. Only the fields kept are
// decoded.
QStringList addressesInFile(const RawTextFile &file, const Progress &progress = {});

// Output of addresses goes out a megabyte at a time.
constexpr qsizetype addressFlushSize = qsizetype(1) << 20;

// Appends to out, in UTF-8 and each followed by '\n', the addresses that
// addressesInFile() finds, and calls flush, which empties out, whenever out holds
// addressFlushSize bytes or more. out may still hold addresses at the end.
void writeAddressesInFile(const RawTextFile &file, QByteArray &out,
                            const std::function<void(QByteArray &out)> &flush,
                            const Progress &progress = {});

// The same for a list of addresses already found.
void writeAddresses(const QStringList &addresses, QByteArray &out,
                    const std::function<void(QByteArray &out)> &flush);
