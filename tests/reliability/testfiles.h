#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Small file helpers shared by the reliability tests.

// The messages of the error box for a failed open or create of fileName.
QString openErrorBoxText(const QString &fileName, int errnum);
QString createErrorBoxText(const QString &fileName, int errnum);

// Every entry of a folder, hidden ones included, by name.
QStringList folderEntries(const QString &folder);

// The same bytes for the same seed on every run.
QByteArray randomBytes(qsizetype size, quint32 seed);

// The text that a file without a byte-order mark shows once loaded: UTF-8, or, when the
// bytes are not all UTF-8, each UTF-8 sequence as UTF-8 and every other byte as
// Windows-1252; each CR LF, lone CR and lone LF one break, U+0000 a space.
QString loadedText(const QByteArray &bytes);
