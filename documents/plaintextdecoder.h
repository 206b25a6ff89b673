#pragma once

#include "documents/documenttext.h"

#include <QByteArray>
#include <QStringDecoder>

// A text file inside an archive, turned into UTF-8 a piece at a time as it is inflated:
// by its mark as a text file is read (UTF-8, UTF-16 in either order), and without one
// each well-formed UTF-8 sequence as UTF-8 and every other byte as Windows-1252, which
// gives what reading it as a file gives whether it is UTF-8 or Windows-1252 throughout.
class PlainTextDecoder
{
public:
    explicit PlainTextDecoder(DocumentText &text);

    void append(QByteArrayView bytes);
    // Decodes what is left and ends the last line.
    void finish();

private:
    void decode(bool final);

    DocumentText &m_text;
    QByteArray m_pending;
    QByteArray m_utf8;
    bool m_started = false;
    QStringDecoder m_utf16;
};
