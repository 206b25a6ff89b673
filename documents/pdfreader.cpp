#include "documents/pdfreader.h"

#include "documents/documenttext.h"

#include <QPdfSelection>

PdfReader::PdfReader(const DocumentSource &source)
{
    if (source.isFile()) {
        m_document.load(source.fileName);
    } else {
        m_buffer.setData(source.bytes);
        m_buffer.open(QIODevice::ReadOnly);
        m_document.load(&m_buffer);
    }
    switch (m_document.error()) {
    case QPdfDocument::Error::None:
        break;
    case QPdfDocument::Error::IncorrectPassword:
    case QPdfDocument::Error::UnsupportedSecurityScheme:
        throw DocumentFailure{DocumentFault::Protected};
    default:
        throw DocumentFailure{DocumentFault::Damaged};
    }
}

int PdfReader::pageCount() const
{
    return m_document.pageCount();
}

QByteArray PdfReader::pageText(int page)
{
    QString text = m_document.getAllText(page).text();
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(u'\r', u'\n');
    text.append(u'\n');
    return text.toUtf8();
}
