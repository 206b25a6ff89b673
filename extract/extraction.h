#pragma once

#include "base/progress.h"
#include "worklist/textfile.h"

#include <QStringList>
#include <QStringView>

// What "Extraire" does with the fields that hold "@". With both off, the list holds every
// such field as it stands, in the order found, duplicates included.
struct ExtractionOptions
{
    // "Adresses seules": every address each field holds, in order (AddressCleaner), in
    // place of the field; a field that holds none gives nothing.
    bool clean = false;
    // "Sans doublons": only the first of the addresses that are equal without regard to
    // case (AddressSet) stays, after the cleaning when both are on.
    bool unique = false;
};

// The fields that contain "@" of every line of a text whose line breaks are '\n', as
// splitFields() cuts each line, in the order found, with options applied. Runs on every
// core (AddressExtractor).
QStringList addressesInText(QStringView text, const Progress &progress = {},
                            ExtractionOptions options = {});

// The same over the text that decodeText() gives for file. Only the fields kept are
// decoded.
QStringList addressesInFile(const RawTextFile &file, const Progress &progress = {},
                            ExtractionOptions options = {});
