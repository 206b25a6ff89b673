#pragma once

#include "documents/documentsource.h"
#include "documents/documenttext.h"

// A PDF, read by Qt's PDF module (pdfium): the text of each page in its reading order,
// one line per line of text, page after page. It needs no display: the module draws
// nothing to give the text. A PDF that asks for a password to be opened throws
// DocumentFailure Protected; one that only restricts printing or copying opens as any
// other.
class PdfReader
{
public:
    // source holds the whole file: a named file or bytes.
    PdfReader(const DocumentSource &source, DocumentText &text);

    void read();

private:
    const DocumentSource &m_source;
    DocumentText &m_text;
};
