#include "documents/pdfreader.h"

#include <QBuffer>
#include <QPdfDocument>
#include <QPdfSelection>

PdfReader::PdfReader(const DocumentSource &source, DocumentText &text)
    : m_source(source), m_text(text)
{
}

void PdfReader::read()
{
    QPdfDocument document;
    QBuffer buffer;
    if (m_source.isFile()) {
        document.load(m_source.fileName);
    } else {
        buffer.setData(m_source.bytes);
        buffer.open(QIODevice::ReadOnly);
        document.load(&buffer);
    }
    switch (document.error()) {
    case QPdfDocument::Error::None:
        break;
    case QPdfDocument::Error::IncorrectPassword:
    case QPdfDocument::Error::UnsupportedSecurityScheme:
        throw DocumentFailure{DocumentFault::Protected};
    default:
        throw DocumentFailure{DocumentFault::Damaged};
    }
    const int pages = document.pageCount();
    for (int page = 0; page < pages; ++page) {
        QString text = document.getAllText(page).text();
        text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        text.replace(u'\r', u'\n');
        m_text.appendLine(text);
        m_text.reportProgress(page + 1, pages);
    }
}
