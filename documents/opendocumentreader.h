#pragma once

#include "documents/documentsource.h"
#include "documents/documenttext.h"

#include <QStringList>

// An OpenDocument file (.ods, .odt, .odp and the others): a zip whose first entry,
// mimetype, names an OpenDocument type. Its content.xml gives one line per paragraph
// (text:p, text:h; spans and links joined) and per table row, cells separated by a tab; a
// row or a cell repeated (number-rows-repeated, number-columns-repeated) comes once, and
// the empty cells that end a row are left out. Deleted text that changes tracking keeps is
// left out.
class OpenDocumentReader
{
public:
    // entries: the zip's entry names, in order.
    OpenDocumentReader(const DocumentSource &source, const QStringList &entries,
                       DocumentText &text);

    void read();

    // Whether a zip's first entry holds this: the type of an OpenDocument file.
    static bool isOpenDocumentType(QByteArrayView mimetype);

private:
    const DocumentSource &m_source;
    QStringList m_entries;
    DocumentText &m_text;
};
