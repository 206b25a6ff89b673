#pragma once

#include <QStringView>
#include <QtGlobal>

// The one way stored text becomes a 32-bit signed integer: leading spaces, at most one
// sign, then decimal digits or hexadecimal digits after "$", "x", "X", "0x" or "0X".
// Hexadecimal digits form a 32-bit pattern read as a signed number. Nothing may follow
// the number. Returns false, leaving *value alone, when the text does not convert.
bool integerFromText(QStringView text, qint32 *value);
