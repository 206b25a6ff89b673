#pragma once

#include "worklist/progress.h"
#include "worklist/tencoding.h"

#include <QByteArray>
#include <QString>
#include <QStringView>

// The bytes of a text file with the encoding found from its mark; the body starts after
// the mark.
struct RawTextFile
{
    QByteArray bytes;
    TEncoding encoding = TEncoding::ANSI;
    qsizetype bodyStart = 0;
};

// Reads a whole file in one piece and finds its encoding; defaultEncoding applies when the
// file has no mark. Throws AdrelioError with the open or read message.
RawTextFile readTextFile(const QString &fileName, TEncoding defaultEncoding,
                         const Progress &progress = {});
// Finds the encoding of bytes that did not come from a named file (standard input).
RawTextFile rawTextFromBytes(QByteArray bytes, TEncoding defaultEncoding);
// UTF-8 decoded leniently, each ill-formed byte a U+FFFD. A U+FEFF at the start is a
// character like any other (QString::fromUtf8 would drop it): only a file's own mark, which
// readTextFile has already passed over, is not text.
QString decodeUtf8(QByteArrayView bytes);
// The decoded body: every CR LF, lone CR and lone LF becomes one '\n', U+0000 a space.
QString decodeText(const RawTextFile &file, const Progress &progress = {});

// Writes text (CR LF breaks) in encoding, with its mark when writeBom. The target is
// replaced atomically; on failure it is left as it was. Throws AdrelioError with the
// create or write message.
void writeTextFile(const QString &fileName, QStringView text, TEncoding encoding,
                   bool writeBom, const Progress &progress = {});

// The name made absolute against the current directory.
QString fullPath(const QString &fileName);
// The system's text for an error number in the user's language, without trailing blanks,
// control characters and periods.
QString systemErrorText(int errnum);

QString openErrorMessage(const QString &fileName, int errnum);
QString createErrorMessage(const QString &fileName, int errnum);
QString readErrorMessage(const QString &fileName, int errnum);
QString writeErrorMessage();
