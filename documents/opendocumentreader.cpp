#include "documents/opendocumentreader.h"

#include "documents/archivefile.h"
#include "documents/xmlpart.h"

namespace {

const QString textNamespace = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:text:1.0");
const QString tableNamespace = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:table:1.0");
// A text:s stands for at most this many spaces here.
constexpr int maxSpaces = 1000;

} // namespace

OpenDocumentReader::OpenDocumentReader(const DocumentSource &source, const QStringList &entries,
                                       DocumentText &text)
    : m_source(source), m_entries(entries), m_text(text)
{
}

bool OpenDocumentReader::isOpenDocumentType(QByteArrayView mimetype)
{
    return mimetype.startsWith("application/vnd.oasis.opendocument.");
}

void OpenDocumentReader::read()
{
    const qsizetype index = m_entries.indexOf(u"content.xml");
    if (index < 0)
        throw DocumentFailure{DocumentFault::Damaged};
    ArchiveFile archive(m_source, ArchiveFile::Format::Zip, m_text);
    archive.moveToEntry(index);
    XmlPart part(archive);
    QString line;
    int paragraphs = 0;
    int cells = 0;
    while (part.next()) {
        QXmlStreamReader &xml = part.xml();
        if (xml.isCharacters()) {
            if (paragraphs > 0)
                line += xml.text();
            continue;
        }
        if (!xml.isStartElement() && !xml.isEndElement())
            continue;
        const QStringView name = xml.name();
        const QStringView space = xml.namespaceUri();
        const bool start = xml.isStartElement();
        if (space == textNamespace) {
            if (name == u"tracked-changes" && start) {
                part.skipElement();
            } else if (name == u"p" || name == u"h") {
                if (start) {
                    ++paragraphs;
                } else if (--paragraphs > 0 || cells > 0) {
                    line += u' ';
                } else {
                    m_text.appendLine(line);
                    line.clear();
                }
            } else if (!start || paragraphs == 0) {
                continue;
            } else if (name == u"s") {
                const int count = xml.attributes().value(textNamespace, QLatin1String("c")).toInt();
                line += QString(qBound(1, count, maxSpaces), u' ');
            } else if (name == u"tab") {
                line += u'\t';
            } else if (name == u"line-break") {
                line += u'\n';
            }
        } else if (space == tableNamespace) {
            if (name == u"table-cell" || name == u"covered-table-cell") {
                if (start) {
                    ++cells;
                } else {
                    --cells;
                    chopTrailing(line, u" ");
                    line += u'\t';
                }
            } else if (name == u"table-row" && !start) {
                chopTrailing(line, u" \t");
                m_text.appendLine(line);
                line.clear();
            }
        }
    }
}
