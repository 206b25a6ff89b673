#pragma once

#include "documents/documentkind.h"
#include "documents/documentsource.h"
#include "documents/documenttext.h"

// A zip, or a file compressed with gzip, bzip2, xz or zstd, or a tar archive (compressed
// or not). A zip that holds [Content_Types].xml is an Office Open XML file (OoxmlReader),
// one whose first entry mimetype names an OpenDocument type an OpenDocument file
// (OpenDocumentReader). Any other archive gives the text of each of its files in turn, in
// archive order, each read by its own kind: a text file as a text file is read, without
// ever being held whole, a document as that document.
class ArchiveReader
{
public:
    ArchiveReader(const DocumentSource &source, DocumentKind kind, DocumentText &text);

    void read();

private:
    void readZip();
    void readEntries();

    const DocumentSource &m_source;
    DocumentKind m_kind;
    DocumentText &m_text;
};
