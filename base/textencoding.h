#pragma once

// The encodings of text files. System is the system's 8-bit code page ("ANSI"), the
// encoding of a file without a byte-order mark and of every list that was not loaded
// from a file with a mark; on Linux it is UTF-8, read leniently and written with the
// UTF-8 mark. A file without a mark whose bytes are not UTF-8 was written by a Windows
// program in the code page of a French installation, or is UTF-8 with such a program's
// text pasted in: it is read as Windows1252, where each well-formed UTF-8 sequence is
// still the character it encodes (decodeMixedText()), and the list that comes from it is
// in the system encoding, so that its save keeps every character.
enum class TextEncoding {
    System,
    Utf8,
    Utf16LittleEndian,
    Utf16BigEndian,
    Windows1252,
};
