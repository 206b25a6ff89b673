#pragma once

// The encodings of text files. None is the state of a list that was never loaded.
// ANSI is the system's 8-bit encoding, which is UTF-8 on Linux (read leniently,
// written with the UTF-8 mark).
enum class TEncoding {
    None,
    ANSI,
    UTF8,
    Unicode,
    BigEndianUnicode,
};
