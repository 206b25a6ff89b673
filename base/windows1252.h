#pragma once

#include <QByteArrayView>
#include <QString>

// Windows-1252, in which every byte is one character: the ASCII bytes and 0xA0 to 0xFF as
// in Latin-1, and 0x80 to 0x9F the euro sign, curly quotes, "œ" and the like. The five
// bytes the code page leaves unassigned (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for the
// control characters of the same values, as the Windows conversion gives them.
char16_t windows1252Unit(uchar byte);
QString decodeWindows1252(QByteArrayView bytes);

// Text without a mark that is not all UTF-8, as a file that was UTF-8 before a
// Windows-1252 line was pasted into it: each well-formed UTF-8 sequence is the character
// it encodes, every other byte its Windows-1252 character. French Windows-1252 text
// practically never forms UTF-8 sequences, so a file that is all Windows-1252 decodes as
// decodeWindows1252() decodes it, and one that is all UTF-8 as UTF-8.
QString decodeMixedText(QByteArrayView bytes);

// The same into UTF-8, a piece at a time: writes the UTF-8 of bytes to out, which has
// room for three bytes per byte, and returns the count written. *used gets the count of
// bytes taken: all of them, except, when more is to follow (final false), the start of a
// sequence that the next piece may complete, which is to be given again with it.
qsizetype mixedTextToUtf8(QByteArrayView bytes, bool final, char *out, qsizetype *used);
