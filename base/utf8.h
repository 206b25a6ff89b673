#pragma once

#include <QByteArrayView>
#include <QString>

// UTF-8 decoded leniently, each ill-formed byte a U+FFFD. A U+FEFF at the start is a
// character like any other (QString::fromUtf8 would drop it): a file's own mark is passed
// over before its body is decoded, never here.
QString decodeUtf8(QByteArrayView bytes);
