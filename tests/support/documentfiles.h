#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <utility>

// Small documents made as the programs that write them lay them out, for the readers'
// tests: zips and their entries through libarchive, XML through QXmlStreamWriter, a PDF
// written object by object.

using ArchiveEntries = QList<std::pair<QString, QByteArray>>;

// A zip of entries, in that order, deflated; with a password, each entry encrypted with
// it (traditional PKWARE encryption).
QByteArray zipOf(const ArchiveEntries &entries, const QByteArray &password = {});
QByteArray tarOf(const ArchiveEntries &entries);
// bytes compressed by "gzip", "bzip2" or "xz".
QByteArray compressedOf(const QByteArray &bytes, const char *filter = "gzip");

// A workbook whose sheets are given as rows of cells; each cell is a shared string, but
// those starting with "inline:" are inline strings and those of digits only numbers. The
// workbook lists the sheets in the given order, which their part names do not follow.
QByteArray xlsxOf(const QList<QList<QStringList>> &sheets);
// A document whose paragraphs are given as their runs; a paragraph "|a|b" is a table row
// of cells a and b.
QByteArray docxOf(const QList<QStringList> &paragraphs);
// A presentation of slides, each given as its paragraphs.
QByteArray pptxOf(const QList<QStringList> &slides);
// An OpenDocument text or spreadsheet of the given content.xml body (inside
// office:body), with the namespaces of text: and table: declared.
QByteArray openDocumentOf(const QString &mimetype, const QString &body);

// A PDF of the pages, each given as its lines of Latin-1 text in Helvetica.
QByteArray pdfOf(const QList<QStringList> &pages);
// A PDF whose pages hold these content streams as they are, with a sound page tree and
// cross-reference table around them; F1 is Helvetica.
QByteArray pdfOfContents(const QList<QByteArray> &contents);
// A damaged PDF whose page tree lists itself among its kids, on which pdfium, the engine
// of Qt's PDF module, loops forever.
QByteArray pdfWithLoopingPageTree();
// The PDF encrypted by qpdf with a user password, which an empty one leaves out: the PDF
// then opens without one but forbids copying and printing. Empty when qpdf cannot be run.
QByteArray encryptedPdfOf(const QByteArray &pdf, const QString &userPassword = QStringLiteral("secret"));
