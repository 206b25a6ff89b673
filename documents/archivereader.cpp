#include "documents/archivereader.h"

#include "documents/archivefile.h"
#include "documents/documentreader.h"
#include "documents/ooxmlreader.h"
#include "documents/opendocumentreader.h"
#include "documents/plaintextdecoder.h"

#include <QStringList>

ArchiveReader::ArchiveReader(const DocumentSource &source, DocumentKind kind, DocumentText &text)
    : m_source(source), m_kind(kind), m_text(text)
{
}

void ArchiveReader::read()
{
    if (m_kind == DocumentKind::Zip)
        readZip();
    else
        readEntries();
}

void ArchiveReader::readZip()
{
    QStringList entries;
    QByteArray mimetype;
    {
        ArchiveFile archive(m_source, ArchiveFile::Format::Zip, m_text);
        while (archive.nextEntry()) {
            entries.append(archive.entryName());
            if (entries.size() == 1 && entries.constFirst() == u"mimetype") {
                char start[128];
                mimetype = QByteArray(start, archive.read(start, sizeof start));
            }
        }
    }
    if (entries.contains(u"[Content_Types].xml"))
        OoxmlReader(m_source, entries, m_text).read();
    else if (OpenDocumentReader::isOpenDocumentType(mimetype))
        OpenDocumentReader(m_source, entries, m_text).read();
    else
        readEntries();
}

void ArchiveReader::readEntries()
{
    ArchiveFile archive(m_source, m_kind == DocumentKind::Zip ? ArchiveFile::Format::Zip
                                                             : ArchiveFile::Format::Stream,
                        m_text);
    QByteArray block(documentKindLook, Qt::Uninitialized);
    while (archive.nextEntry()) {
        if (!archive.entryIsFile())
            continue;
        QByteArray start;
        std::optional<DocumentKind> kind;
        bool ended = false;
        while (!kind) {
            const qsizetype count = archive.read(block.data(), documentKindLook - start.size());
            ended = count == 0;
            start += QByteArrayView(block.constData(), count);
            kind = documentKind(start, ended);
        }
        if (*kind == DocumentKind::Text) {
            PlainTextDecoder decoder(m_text);
            decoder.append(start);
            while (!ended) {
                const qsizetype count = archive.read(block.data(), block.size());
                ended = count == 0;
                decoder.append(QByteArrayView(block.constData(), count));
            }
            decoder.finish();
        } else {
            DocumentSource member;
            member.bytes = ended ? start : start + archive.readAll();
            DocumentReader::readNested(member, *kind, m_text);
        }
    }
}
