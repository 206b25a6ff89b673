#include "documents/xmlpart.h"

namespace {

constexpr qsizetype blockSize = 64 * 1024;

} // namespace

void chopTrailing(QString &line, QStringView characters)
{
    qsizetype end = line.size();
    while (end > 0 && characters.contains(line[end - 1]))
        --end;
    line.truncate(end);
}

XmlPart::XmlPart(ArchiveFile &archive)
    : m_archive(archive), m_block(blockSize, Qt::Uninitialized)
{
}

bool XmlPart::next()
{
    for (;;) {
        const QXmlStreamReader::TokenType token = m_xml.readNext();
        if (token == QXmlStreamReader::EndDocument)
            return false;
        if (!m_xml.hasError()) {
            if (token == QXmlStreamReader::StartElement)
                ++m_depth;
            else if (token == QXmlStreamReader::EndElement && --m_depth == 0)
                m_rootClosed = true;
            return true;
        }
        // Only comments could follow the root element's end.
        if (m_xml.error() == QXmlStreamReader::PrematureEndOfDocumentError && m_ended && m_rootClosed)
            return false;
        if (m_xml.error() != QXmlStreamReader::PrematureEndOfDocumentError || m_ended)
            throw DocumentFailure{DocumentFault::Damaged};
        const qsizetype count = m_archive.read(m_block.data(), m_block.size());
        if (count == 0)
            m_ended = true;
        else
            m_xml.addData(QByteArray(m_block.constData(), count));
    }
}

void XmlPart::skipElement()
{
    for (int depth = 1; depth > 0 && next();) {
        if (m_xml.isStartElement())
            ++depth;
        else if (m_xml.isEndElement())
            --depth;
    }
}

bool XmlPart::isStart(QStringView name) const
{
    return m_xml.isStartElement() && m_xml.name() == name;
}

bool XmlPart::isEnd(QStringView name) const
{
    return m_xml.isEndElement() && m_xml.name() == name;
}
