#pragma once

#include "base/progress.h"
#include "base/textencoding.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>

// The bytes of a text file with the encoding found from its mark; the body starts after
// the mark.
struct RawTextFile
{
    QByteArray bytes;
    TextEncoding encoding = TextEncoding::System;
    qsizetype bodyStart = 0;
};

// Reads a whole file in one piece and finds its encoding from its mark; a file without a
// mark is in the system encoding, or in Windows-1252 when its bytes are not UTF-8. Only regular files below 2 GiB are read. Throws
// AdrelioError with the open or read message.
RawTextFile readTextFile(const QString &fileName, const Progress &progress = {});
// Finds the encoding of bytes that did not come from a named file (standard input).
RawTextFile rawTextFromBytes(QByteArray bytes);
// The encoding that the mark at the start of a text says, and the mark's size; System and 0
// without a mark.
TextEncoding encodingOfMark(QByteArrayView start, qsizetype *markSize);
// The decoded body: every CR LF, lone CR and lone LF becomes one '\n', U+0000 a space.
QString decodeText(const RawTextFile &file, const Progress &progress = {});
// The same cut at its breaks, decodeText(file).split(u'\n'), decoded line by line so that
// the whole text is never held besides its lines.
QStringList decodeParagraphs(const RawTextFile &file, const Progress &progress = {});

// Writes text (CR LF breaks) in encoding, after the encoding's mark (the system encoding
// has the UTF-8 mark). The target is replaced atomically; on failure it is left as it
// was. Throws AdrelioError with the create or write message.
void writeTextFile(const QString &fileName, QStringView text, TextEncoding encoding,
                   const Progress &progress = {});
