#pragma once

#include <QByteArray>
#include <QString>

// Small file helpers shared by the reliability tests.

// The system's text for an error number as the program's messages end with it.
QString systemReason(int errnum);

// The messages of the error box for a failed open or create of fileName.
QString openErrorBoxText(const QString &fileName, int errnum);
QString createErrorBoxText(const QString &fileName, int errnum);

bool writeFile(const QString &fileName, const QByteArray &bytes);
// The bytes of a file; a null array when it cannot be read.
QByteArray fileBytes(const QString &fileName);

// The text that a file without a byte-order mark shows once loaded: UTF-8 read leniently,
// each CR LF, lone CR and lone LF one break, U+0000 a space.
QString loadedText(const QByteArray &bytes);
