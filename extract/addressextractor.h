#pragma once

#include "base/progress.h"
#include "extract/extraction.h"
#include "worklist/textfile.h"
#include "worklist/textinput.h"

#include <QByteArrayView>
#include <QStringList>
#include <QStringView>

#include <functional>

// The extraction on every core. The text is cut at line breaks into pieces of about a
// megabyte, which the threads scan at once and hand on in order; a text read as it comes
// is cut as it arrives, also at a separator when a line is longer than a piece, so that
// only a few pieces are held at a time whatever the input's length. The results are those
// of splitting every line of the whole text with splitFields(), then applying the options.
class AddressExtractor
{
public:
    explicit AddressExtractor(ExtractionOptions options = {});

    // Pieces of about pieceSize units, worked on by up to threadCount threads. The tests
    // make pieces small to reach their edges.
    void setPieceSize(qsizetype pieceSize);
    void setThreadCount(int threadCount);

    QStringList addressesInText(QStringView text, const Progress &progress = {}) const;
    QStringList addressesInFile(const RawTextFile &file, const Progress &progress = {}) const;
    QStringList addressesInInput(TextInput &input) const;

    // Hands write the addresses of input as UTF-8 lines, each followed by '\n', a piece at
    // a time as they are found: in order, from any of the threads but never from two at
    // once.
    void writeAddressesInInput(TextInput &input,
                               const std::function<void(QByteArrayView bytes)> &write) const;
    // The same with the addresses sorted as sortLines() sorts a list, once they are all
    // found. They are held in the few large texts of the pieces rather than a text each.
    void writeSortedAddressesInInput(TextInput &input,
                                     const std::function<void(QByteArrayView bytes)> &write) const;

private:
    ExtractionOptions m_options;
    qsizetype m_pieceSize;
    int m_threadCount;
};
