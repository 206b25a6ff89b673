#pragma once

#include "fuzzsupport.h"

#include "documents/documentreader.h"
#include "documents/documenttext.h"

// Reads bytes as a document of kind, as a member of an archive is read. A reader may fail
// only with DocumentFailure, which gives false; the text it gives is well-formed UTF-8
// made of whole lines, and is handed to text when it is given.
inline bool readsAsDocument(const QByteArray &bytes, DocumentKind kind, QByteArray *text = nullptr)
{
    DocumentSource source;
    source.bytes = bytes;
    const Progress progress;
    DocumentText documentText(bytes.size(), progress);
    try {
        DocumentReader::readNested(source, kind, documentText);
    } catch (const DocumentFailure &) {
        return false;
    }
    const QByteArray result = documentText.take();
    require(QByteArrayView(result).isValidUtf8(), "the text is UTF-8");
    require(result.isEmpty() || result.endsWith('\n'), "the text is whole lines");
    if (text)
        *text = result;
    return true;
}
