#pragma once

#include "documents/archivefile.h"

#include <QXmlStreamReader>

// Cuts the characters that end a line of a paragraph or a table row (the blanks and
// tabs of empty cells).
void chopTrailing(QString &line, QStringView characters);

// The XML of the archive entry that archive stands at, parsed as it is inflated, a block
// at a time, so that a large part is never held whole. Throws DocumentFailure Damaged on
// XML that is not well-formed or that ends too early.
class XmlPart
{
public:
    explicit XmlPart(ArchiveFile &archive);

    // Moves to the next token; false at the document's end.
    bool next();
    // Passes over the rest of the element that has just started, up to its end.
    void skipElement();
    QXmlStreamReader &xml() { return m_xml; }
    bool isStart(QStringView name) const;
    bool isEnd(QStringView name) const;

private:
    ArchiveFile &m_archive;
    QXmlStreamReader m_xml;
    QByteArray m_block;
    bool m_ended = false;
    int m_depth = 0;
    bool m_rootClosed = false;
};
