#pragma once

#include "documents/documentsource.h"

#include <QBuffer>
#include <QByteArray>
#include <QPdfDocument>

// A PDF, read in this process by Qt's PDF module (pdfium): the text of each page in its
// reading order, one line per line of text. It needs no display: the module draws
// nothing to give the text. A PDF that asks for a password to be opened throws
// DocumentFailure Protected; one that only restricts printing or copying opens as any
// other. pdfium can loop forever on a damaged PDF, so the program reads a PDF through
// PdfProcess, whose child runs this reader; the fuzzer runs it here.
class PdfReader
{
public:
    // Opens the PDF; source holds the whole file: a named file or bytes. Throws
    // DocumentFailure.
    explicit PdfReader(const DocumentSource &source);

    int pageCount() const;
    // The page's lines as UTF-8, each ended by '\n'.
    QByteArray pageText(int page);

private:
    QBuffer m_buffer;
    QPdfDocument m_document;
};
