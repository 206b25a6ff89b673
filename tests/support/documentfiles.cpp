#include "support/documentfiles.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QXmlStreamWriter>

#include <archive.h>
#include <archive_entry.h>

#include <functional>

namespace {

const QString spreadsheetNamespace =
        QStringLiteral("http://schemas.openxmlformats.org/spreadsheetml/2006/main");
const QString wordNamespace =
        QStringLiteral("http://schemas.openxmlformats.org/wordprocessingml/2006/main");
const QString drawingNamespace =
        QStringLiteral("http://schemas.openxmlformats.org/drawingml/2006/main");
const QString presentationNamespace =
        QStringLiteral("http://schemas.openxmlformats.org/presentationml/2006/main");
const QString relationshipsNamespace =
        QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships");

using Configure = void (*)(archive *, const QByteArray &);

QByteArray archiveOf(const ArchiveEntries &entries, Configure configure,
                     const QByteArray &option = {})
{
    archive *writer = archive_write_new();
    configure(writer, option);
    QByteArray bytes(qsizetype(1) << 24, Qt::Uninitialized);
    size_t used = 0;
    archive_write_open_memory(writer, bytes.data(), size_t(bytes.size()), &used);
    for (const auto &[name, content] : entries) {
        archive_entry *entry = archive_entry_new();
        archive_entry_set_pathname_utf8(entry, name.toUtf8().constData());
        archive_entry_set_size(entry, content.size());
        archive_entry_set_filetype(entry, AE_IFREG);
        archive_entry_set_perm(entry, 0644);
        archive_write_header(writer, entry);
        archive_write_data(writer, content.constData(), size_t(content.size()));
        archive_entry_free(entry);
    }
    archive_write_close(writer);
    archive_write_free(writer);
    bytes.truncate(qsizetype(used));
    return bytes;
}

QByteArray xml(const std::function<void(QXmlStreamWriter &)> &write)
{
    QByteArray bytes;
    QXmlStreamWriter writer(&bytes);
    writer.writeStartDocument(QStringLiteral("1.0"), true);
    write(writer);
    writer.writeEndDocument();
    return bytes;
}

QByteArray contentTypes(const QList<std::pair<QString, QString>> &overrides)
{
    return xml([&](QXmlStreamWriter &w) {
        w.writeDefaultNamespace(
                QStringLiteral("http://schemas.openxmlformats.org/package/2006/content-types"));
        w.writeStartElement(QStringLiteral("Types"));
        for (const auto &[part, type] : overrides) {
            w.writeEmptyElement(QStringLiteral("Override"));
            w.writeAttribute(QStringLiteral("PartName"), part);
            w.writeAttribute(QStringLiteral("ContentType"), type);
        }
        w.writeEndElement();
    });
}

QByteArray relationships(const QStringList &targets)
{
    return xml([&](QXmlStreamWriter &w) {
        w.writeDefaultNamespace(
                QStringLiteral("http://schemas.openxmlformats.org/package/2006/relationships"));
        w.writeStartElement(QStringLiteral("Relationships"));
        for (qsizetype i = 0; i < targets.size(); ++i) {
            w.writeEmptyElement(QStringLiteral("Relationship"));
            w.writeAttribute(QStringLiteral("Id"), QStringLiteral("rId%1").arg(i + 1));
            w.writeAttribute(QStringLiteral("Type"), relationshipsNamespace);
            w.writeAttribute(QStringLiteral("Target"), targets.at(i));
        }
        w.writeEndElement();
    });
}

QString columnName(int column)
{
    QString name;
    for (++column; column > 0; column = (column - 1) / 26)
        name.prepend(QChar(u'A' + (column - 1) % 26));
    return name;
}

} // namespace

QByteArray zipOf(const ArchiveEntries &entries, const QByteArray &password)
{
    return archiveOf(entries, [](archive *writer, const QByteArray &secret) {
        archive_write_set_format_zip(writer);
        if (!secret.isEmpty()) {
            archive_write_set_options(writer, "zip:encryption=zipcrypt");
            archive_write_set_passphrase(writer, secret.constData());
        }
    }, password);
}

QByteArray tarOf(const ArchiveEntries &entries)
{
    return archiveOf(entries, [](archive *writer, const QByteArray &) {
        archive_write_set_format_pax_restricted(writer);
    });
}

QByteArray compressedOf(const QByteArray &bytes, const char *filter)
{
    return archiveOf({{QStringLiteral("data"), bytes}}, [](archive *writer, const QByteArray &name) {
        archive_write_set_format_raw(writer);
        archive_write_add_filter_by_name(writer, name.constData());
    }, filter);
}

QByteArray xlsxOf(const QList<QList<QStringList>> &sheets)
{
    QStringList strings;
    ArchiveEntries entries;
    QList<std::pair<QString, QString>> types{
        {QStringLiteral("/xl/workbook.xml"),
         QStringLiteral("application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml")},
        {QStringLiteral("/xl/sharedStrings.xml"),
         QStringLiteral("application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml")},
    };
    QStringList targets;
    // The last sheet listed is sheet1.xml, the first one sheetN.xml.
    for (qsizetype s = 0; s < sheets.size(); ++s) {
        const QString name = QStringLiteral("worksheets/sheet%1.xml").arg(sheets.size() - s);
        targets.append(name);
        types.append({QLatin1String("/xl/") + name,
                      QStringLiteral("application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml")});
        entries.append({QLatin1String("xl/") + name, xml([&](QXmlStreamWriter &w) {
            w.writeDefaultNamespace(spreadsheetNamespace);
            w.writeStartElement(QStringLiteral("worksheet"));
            w.writeStartElement(QStringLiteral("sheetData"));
            for (qsizetype r = 0; r < sheets[s].size(); ++r) {
                w.writeStartElement(QStringLiteral("row"));
                w.writeAttribute(QStringLiteral("r"), QString::number(r + 1));
                const QStringList &cells = sheets[s][r];
                for (qsizetype c = 0; c < cells.size(); ++c) {
                    const QString &cell = cells[c];
                    if (cell.isEmpty())
                        continue;
                    w.writeStartElement(QStringLiteral("c"));
                    w.writeAttribute(QStringLiteral("r"), columnName(int(c)) + QString::number(r + 1));
                    bool number = false;
                    cell.toLongLong(&number);
                    if (cell.startsWith(u"inline:")) {
                        w.writeAttribute(QStringLiteral("t"), QStringLiteral("inlineStr"));
                        w.writeStartElement(QStringLiteral("is"));
                        w.writeTextElement(QStringLiteral("t"), cell.sliced(7));
                        w.writeEndElement();
                    } else if (number) {
                        w.writeTextElement(QStringLiteral("v"), cell);
                    } else {
                        w.writeAttribute(QStringLiteral("t"), QStringLiteral("s"));
                        if (!strings.contains(cell))
                            strings.append(cell);
                        w.writeTextElement(QStringLiteral("v"), QString::number(strings.indexOf(cell)));
                    }
                    w.writeEndElement();
                }
                w.writeEndElement();
            }
            w.writeEndElement();
            w.writeEndElement();
        })});
    }
    entries.prepend({QStringLiteral("xl/sharedStrings.xml"), xml([&](QXmlStreamWriter &w) {
        w.writeDefaultNamespace(spreadsheetNamespace);
        w.writeStartElement(QStringLiteral("sst"));
        for (const QString &string : std::as_const(strings)) {
            w.writeStartElement(QStringLiteral("si"));
            // A string of two runs, as a cell formatted in parts is stored, with a phonetic
            // reading that is no part of its text.
            const qsizetype half = string.size() / 2;
            for (const QString &run : {string.first(half), string.sliced(half)}) {
                w.writeStartElement(QStringLiteral("r"));
                w.writeTextElement(QStringLiteral("t"), run);
                w.writeEndElement();
            }
            w.writeStartElement(QStringLiteral("rPh"));
            w.writeTextElement(QStringLiteral("t"), QStringLiteral("phonetic@reading.jp"));
            w.writeEndElement();
            w.writeEndElement();
        }
        w.writeEndElement();
    })});
    entries.prepend({QStringLiteral("xl/_rels/workbook.xml.rels"), relationships(targets)});
    entries.prepend({QStringLiteral("xl/workbook.xml"), xml([&](QXmlStreamWriter &w) {
        w.writeDefaultNamespace(spreadsheetNamespace);
        w.writeNamespace(relationshipsNamespace, QStringLiteral("r"));
        w.writeStartElement(QStringLiteral("workbook"));
        w.writeStartElement(QStringLiteral("sheets"));
        for (qsizetype s = 0; s < sheets.size(); ++s) {
            w.writeEmptyElement(QStringLiteral("sheet"));
            w.writeAttribute(QStringLiteral("name"), QStringLiteral("Feuille%1").arg(s + 1));
            w.writeAttribute(relationshipsNamespace, QStringLiteral("id"), QStringLiteral("rId%1").arg(s + 1));
        }
        w.writeEndElement();
        w.writeEndElement();
    })});
    entries.prepend({QStringLiteral("[Content_Types].xml"), contentTypes(types)});
    return zipOf(entries);
}

QByteArray docxOf(const QList<QStringList> &paragraphs)
{
    const QByteArray document = xml([&](QXmlStreamWriter &w) {
        w.writeNamespace(wordNamespace, QStringLiteral("w"));
        w.writeStartElement(wordNamespace, QStringLiteral("document"));
        w.writeStartElement(wordNamespace, QStringLiteral("body"));
        const auto paragraph = [&](const QStringList &runs) {
            w.writeStartElement(wordNamespace, QStringLiteral("p"));
            // A tab stop of the paragraph's properties is no tab of its text.
            w.writeStartElement(wordNamespace, QStringLiteral("pPr"));
            w.writeStartElement(wordNamespace, QStringLiteral("tabs"));
            w.writeEmptyElement(wordNamespace, QStringLiteral("tab"));
            w.writeEndElement();
            w.writeEndElement();
            for (const QString &run : runs) {
                w.writeStartElement(wordNamespace, QStringLiteral("r"));
                w.writeTextElement(wordNamespace, QStringLiteral("t"), run);
                w.writeEndElement();
            }
            w.writeEndElement();
        };
        for (const QStringList &runs : paragraphs) {
            if (runs.value(0).startsWith(u'|')) {
                w.writeStartElement(wordNamespace, QStringLiteral("tbl"));
                w.writeStartElement(wordNamespace, QStringLiteral("tr"));
                for (const QString &cell : runs.value(0).sliced(1).split(u'|')) {
                    w.writeStartElement(wordNamespace, QStringLiteral("tc"));
                    paragraph({cell});
                    w.writeEndElement();
                }
                w.writeEndElement();
                w.writeEndElement();
            } else {
                paragraph(runs);
            }
        }
        w.writeEndElement();
        w.writeEndElement();
    });
    return zipOf({
        {QStringLiteral("[Content_Types].xml"),
         contentTypes({{QStringLiteral("/word/document.xml"),
                        QStringLiteral("application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml")}})},
        {QStringLiteral("word/document.xml"), document},
    });
}

QByteArray pptxOf(const QList<QStringList> &slides)
{
    QList<std::pair<QString, QString>> types{
        {QStringLiteral("/ppt/presentation.xml"),
         QStringLiteral("application/vnd.openxmlformats-officedocument.presentationml.presentation.main+xml")}};
    ArchiveEntries entries;
    QStringList targets;
    for (qsizetype s = 0; s < slides.size(); ++s) {
        const QString name = QStringLiteral("slides/slide%1.xml").arg(slides.size() - s);
        targets.append(name);
        types.append({QLatin1String("/ppt/") + name,
                      QStringLiteral("application/vnd.openxmlformats-officedocument.presentationml.slide+xml")});
        entries.append({QLatin1String("ppt/") + name, xml([&](QXmlStreamWriter &w) {
            w.writeNamespace(presentationNamespace, QStringLiteral("p"));
            w.writeNamespace(drawingNamespace, QStringLiteral("a"));
            w.writeStartElement(presentationNamespace, QStringLiteral("sld"));
            w.writeStartElement(presentationNamespace, QStringLiteral("txBody"));
            for (const QString &line : slides[s]) {
                w.writeStartElement(drawingNamespace, QStringLiteral("p"));
                w.writeStartElement(drawingNamespace, QStringLiteral("r"));
                w.writeTextElement(drawingNamespace, QStringLiteral("t"), line);
                w.writeEndElement();
                w.writeEndElement();
            }
            w.writeEndElement();
            w.writeEndElement();
        })});
    }
    entries.prepend({QStringLiteral("ppt/_rels/presentation.xml.rels"), relationships(targets)});
    entries.prepend({QStringLiteral("ppt/presentation.xml"), xml([&](QXmlStreamWriter &w) {
        w.writeNamespace(presentationNamespace, QStringLiteral("p"));
        w.writeNamespace(relationshipsNamespace, QStringLiteral("r"));
        w.writeStartElement(presentationNamespace, QStringLiteral("presentation"));
        w.writeStartElement(presentationNamespace, QStringLiteral("sldIdLst"));
        for (qsizetype s = 0; s < slides.size(); ++s) {
            w.writeEmptyElement(presentationNamespace, QStringLiteral("sldId"));
            w.writeAttribute(relationshipsNamespace, QStringLiteral("id"), QStringLiteral("rId%1").arg(s + 1));
        }
        w.writeEndElement();
        w.writeEndElement();
    })});
    entries.prepend({QStringLiteral("[Content_Types].xml"), contentTypes(types)});
    return zipOf(entries);
}

QByteArray openDocumentOf(const QString &mimetype, const QString &body)
{
    const QByteArray content =
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
            "<office:document-content"
            " xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\""
            " xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\""
            " xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\">"
            "<office:body>" + body.toUtf8() + "</office:body></office:document-content>";
    return zipOf({{QStringLiteral("mimetype"), mimetype.toUtf8()},
                  {QStringLiteral("content.xml"), content}});
}

QByteArray pdfOf(const QList<QStringList> &pages)
{
    QList<QByteArray> contents;
    for (const QStringList &lines : pages) {
        QByteArray content = "BT /F1 12 Tf 72 720 Td 16 TL";
        for (const QString &line : lines)
            content += " (" + line.toLatin1() + ") '";
        content += " ET";
        contents.append(content);
    }
    return pdfOfContents(contents);
}

namespace {

// Objects numbered from 1 in their order, the first the catalog, with their
// cross-reference table.
QByteArray pdfOfObjects(const QList<QByteArray> &objects)
{
    QByteArray pdf = "%PDF-1.4\n";
    QList<qsizetype> offsets;
    for (qsizetype i = 0; i < objects.size(); ++i) {
        offsets.append(pdf.size());
        pdf += QByteArray::number(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const qsizetype table = pdf.size();
    pdf += "xref\n0 " + QByteArray::number(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (const qsizetype offset : offsets)
        pdf += QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
    pdf += "trailer\n<< /Size " + QByteArray::number(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n"
            + QByteArray::number(table) + "\n%%EOF\n";
    return pdf;
}

} // namespace

QByteArray pdfOfContents(const QList<QByteArray> &contents)
{
    QList<QByteArray> objects;
    objects.append("<< /Type /Catalog /Pages 2 0 R >>");
    QByteArray kids;
    for (qsizetype i = 0; i < contents.size(); ++i)
        kids += QByteArray::number(3 + 2 * i) + " 0 R ";
    objects.append("<< /Type /Pages /Kids [" + kids + "] /Count " + QByteArray::number(contents.size()) + " >>");
    const QByteArray font = QByteArray::number(3 + 2 * contents.size());
    for (qsizetype i = 0; i < contents.size(); ++i) {
        objects.append("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << /Font << /F1 "
                       + font + " 0 R >> >> /Contents " + QByteArray::number(4 + 2 * i) + " 0 R >>");
        objects.append("<< /Length " + QByteArray::number(contents[i].size()) + " >>\nstream\n" + contents[i]
                       + "\nendstream");
    }
    objects.append("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>");
    return pdfOfObjects(objects);
}

QByteArray pdfWithLoopingPageTree()
{
    return pdfOfObjects({"<< /Type /Catalog /Pages 2 0 R >>",
                         "<< /Type /Pages /Kids [2 0 R 3 0 R] /Count 2 >>",
                         "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >>"});
}

QByteArray encryptedPdfOf(const QByteArray &pdf, const QString &userPassword)
{
    QTemporaryDir dir;
    QFile in(dir.filePath(QStringLiteral("in.pdf")));
    if (!in.open(QIODevice::WriteOnly) || in.write(pdf) != pdf.size())
        return {};
    in.close();
    const QString out = dir.filePath(QStringLiteral("out.pdf"));
    QProcess qpdf;
    qpdf.start(QStringLiteral("qpdf"), {QStringLiteral("--encrypt"), userPassword,
                                        QStringLiteral("owner"), QStringLiteral("256"),
                                        QStringLiteral("--print=none"), QStringLiteral("--extract=n"),
                                        QStringLiteral("--"), in.fileName(), out});
    if (!qpdf.waitForFinished(60000) || qpdf.exitCode() != 0)
        return {};
    QFile result(out);
    return result.open(QIODevice::ReadOnly) ? result.readAll() : QByteArray();
}
