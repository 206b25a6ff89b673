#pragma once

#include "documents/documentsource.h"
#include "documents/documenttext.h"

#include <QStringList>

class XmlPart;

// An Office Open XML file (.xlsx, .docx, .pptx and their macro and template forms): a zip
// whose [Content_Types].xml names its parts. A workbook gives one line per row of every
// sheet in the workbook's order, cells separated by a tab (shared and inline strings,
// values as stored); a document one line per paragraph, runs joined, table cells
// tab-separated, then its headers, footers, notes and comments; a presentation one line
// per paragraph of every slide in order.
class OoxmlReader
{
public:
    // entries: the zip's entry names, in order.
    OoxmlReader(const DocumentSource &source, const QStringList &entries, DocumentText &text);

    void read();

private:
    struct Part
    {
        QString name;
        QString contentType;
    };

    // A workbook's strings, as UTF-8 one after the other: ends[i] is where string i ends.
    // Held so, they take as much memory as the text they give, once.
    struct SharedStrings
    {
        QByteArray text;
        QList<qsizetype> ends;

        QByteArrayView value(qsizetype index) const;
    };

    QList<Part> contentTypes();
    QStringList orderedParts(const QString &mainPart, QStringView listElement,
                             QStringList parts);
    SharedStrings sharedStrings(const QString &part);
    void readSheet(const QString &part, const SharedStrings &strings);
    void readParagraphs(const QString &part);
    // Runs read with an XmlPart over the entry named part; a part that is missing is
    // passed over.
    template <typename Read>
    void withPart(const QString &part, Read read);

    const DocumentSource &m_source;
    QStringList m_entries;
    DocumentText &m_text;
};
