#pragma once

#include <QByteArrayView>
#include <QString>

// Windows-1252, in which every byte is one character: the ASCII bytes and 0xA0 to 0xFF as
// in Latin-1, and 0x80 to 0x9F the euro sign, curly quotes, "œ" and the like. The five
// bytes the code page leaves unassigned (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for the
// control characters of the same values, as the Windows conversion gives them.
char16_t windows1252Unit(uchar byte);
QString decodeWindows1252(QByteArrayView bytes);
