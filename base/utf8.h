#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <functional>

// UTF-8 decoded leniently, each ill-formed byte a U+FFFD. A U+FEFF at the start is a
// character like any other (QString::fromUtf8 would drop it): a file's own mark is passed
// over before its body is decoded, never here.
QString decodeUtf8(QByteArrayView bytes);

// UTF-8 written into a buffer of its own size, for a text too large to be encoded twice:
// utf8Size() bytes, which encodeUtf8() writes at out, returning their end. An unpaired
// surrogate becomes U+FFFD, as QStringEncoder writes it.
qsizetype utf8Size(QStringView text);
char *encodeUtf8(QStringView text, char *out);

// Whether bytes are well-formed UTF-8. Large ones are checked in pieces on every core.
bool isWellFormedUtf8(QByteArrayView bytes);
// The same for size bytes that readAt(buffer, room, offset) puts into buffer from offset
// on, fewer only at the end; it is called from several threads at once.
bool isWellFormedUtf8(qint64 size,
                      const std::function<qsizetype(char *buffer, qsizetype room, qint64 offset)> &readAt);
