#pragma once

#include "fuzzsupport.h"

#include "documents/documentreader.h"
#include "documents/documenttext.h"

// The text a reader gave: well-formed UTF-8 made of whole lines.
inline void requireDocumentText(const QByteArray &text)
{
    require(QByteArrayView(text).isValidUtf8(), "the text is UTF-8");
    require(text.isEmpty() || text.endsWith('\n'), "the text is whole lines");
}

// Reads bytes as a document of kind, as a member of an archive is read. A reader may fail
// only with DocumentFailure, which gives false; the text it gives is handed to text when
// it is given. A PDF inside an archive is read by the executable run again: a target that
// reads archives links documentfuzzing.cpp.
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
    requireDocumentText(result);
    if (text)
        *text = result;
    return true;
}
