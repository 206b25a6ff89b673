#include "documents/ooxmlreader.h"

#include "documents/archivefile.h"
#include "documents/xmlpart.h"

#include <QDir>
#include <QHash>
#include <QRegularExpression>

#include <algorithm>

namespace {

const QString relationshipsNamespace =
        QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships");
// The widest sheet Excel makes.
constexpr int maxColumns = 16384;

// Part names are absolute ("/xl/workbook.xml"), entry names are not.
QString entryOf(QStringView partName)
{
    return partName.startsWith(u'/') ? partName.sliced(1).toString() : partName.toString();
}

// "sheet2.xml" before "sheet10.xml".
bool naturalLess(const QString &a, const QString &b)
{
    static const QRegularExpression number(QStringLiteral("(\\d+)\\.xml$"));
    const QRegularExpressionMatch ma = number.match(a);
    const QRegularExpressionMatch mb = number.match(b);
    if (ma.hasMatch() && mb.hasMatch() && a.first(ma.capturedStart(1)) == b.first(mb.capturedStart(1)))
        return ma.captured(1).toLongLong() < mb.captured(1).toLongLong();
    return a < b;
}

// The zero-based column of a cell reference such as "AB12"; -1 without one.
int columnOf(QStringView reference)
{
    int column = 0;
    qsizetype i = 0;
    for (; i < reference.size() && reference[i] >= u'A' && reference[i] <= u'Z'; ++i) {
        column = column * 26 + (reference[i].unicode() - u'A' + 1);
        if (column > maxColumns)
            return -1;
    }
    return i > 0 ? column - 1 : -1;
}

} // namespace

OoxmlReader::OoxmlReader(const DocumentSource &source, const QStringList &entries,
                         DocumentText &text)
    : m_source(source), m_entries(entries), m_text(text)
{
}

template <typename Read>
void OoxmlReader::withPart(const QString &part, Read read)
{
    const qsizetype index = m_entries.indexOf(part);
    if (index < 0)
        return;
    ArchiveFile archive(m_source, ArchiveFile::Format::Zip, m_text);
    archive.moveToEntry(index);
    XmlPart xml(archive);
    read(xml);
}

void OoxmlReader::read()
{
    QString workbook;
    QString document;
    QString presentation;
    QString strings;
    QStringList sheets;
    QStringList slides;
    QStringList documentParts;
    for (const Part &part : contentTypes()) {
        const QString &type = part.contentType;
        if (type.endsWith(u".main+xml")) {
            if (type.contains(u"sheet"))
                workbook = part.name;
            else if (type.contains(u"presentation") || type.contains(u"slideshow"))
                presentation = part.name;
            else
                document = part.name;
        } else if (type.endsWith(u"spreadsheetml.worksheet+xml")) {
            sheets.append(part.name);
        } else if (type.endsWith(u"spreadsheetml.sharedStrings+xml")) {
            strings = part.name;
        } else if (type.endsWith(u"presentationml.slide+xml")) {
            slides.append(part.name);
        } else if (type.contains(u"wordprocessingml.")
                   && (type.endsWith(u"header+xml") || type.endsWith(u"footer+xml")
                       || type.endsWith(u"footnotes+xml") || type.endsWith(u"endnotes+xml")
                       || type.endsWith(u"comments+xml"))) {
            documentParts.append(part.name);
        }
    }
    if (!workbook.isEmpty()) {
        const SharedStrings shared = strings.isEmpty() ? SharedStrings() : sharedStrings(strings);
        for (const QString &sheet : orderedParts(workbook, u"sheet", sheets))
            readSheet(sheet, shared);
    } else if (!presentation.isEmpty()) {
        for (const QString &slide : orderedParts(presentation, u"sldId", slides))
            readParagraphs(slide);
    } else if (!document.isEmpty()) {
        std::sort(documentParts.begin(), documentParts.end(), naturalLess);
        readParagraphs(document);
        for (const QString &part : std::as_const(documentParts))
            readParagraphs(part);
    }
}

QList<OoxmlReader::Part> OoxmlReader::contentTypes()
{
    QList<Part> parts;
    withPart(QStringLiteral("[Content_Types].xml"), [&](XmlPart &part) {
        while (part.next()) {
            if (part.isStart(u"Override")) {
                const QXmlStreamAttributes attributes = part.xml().attributes();
                parts.append({entryOf(attributes.value(QLatin1String("PartName"))),
                              attributes.value(QLatin1String("ContentType")).toString()});
            }
        }
    });
    return parts;
}

// The parts in the order that the main part lists them (its listElement elements name
// them through its relationships), then any it does not list, in the order of their names.
QStringList OoxmlReader::orderedParts(const QString &mainPart, QStringView listElement,
                                      QStringList parts)
{
    QStringList ids;
    withPart(mainPart, [&](XmlPart &part) {
        while (part.next()) {
            if (part.isStart(listElement))
                ids.append(part.xml().attributes().value(relationshipsNamespace, QLatin1String("id")).toString());
        }
    });
    const QString folder = QFileInfo(mainPart).path();
    const QString relationships = (folder == u"." ? QString() : folder + u'/') + QLatin1String("_rels/")
            + QFileInfo(mainPart).fileName() + QLatin1String(".rels");
    QHash<QString, QString> targets;
    withPart(relationships, [&](XmlPart &part) {
        while (part.next()) {
            if (part.isStart(u"Relationship")) {
                const QXmlStreamAttributes attributes = part.xml().attributes();
                const QString target = attributes.value(QLatin1String("Target")).toString();
                targets.insert(attributes.value(QLatin1String("Id")).toString(),
                               target.startsWith(u'/') ? entryOf(target)
                                                       : QDir::cleanPath(folder + u'/' + target));
            }
        }
    });
    std::sort(parts.begin(), parts.end(), naturalLess);
    QStringList ordered;
    for (const QString &id : std::as_const(ids)) {
        const QString target = targets.value(id);
        if (parts.removeOne(target))
            ordered.append(target);
    }
    return ordered + parts;
}

QByteArrayView OoxmlReader::SharedStrings::value(qsizetype index) const
{
    if (index < 0 || index >= ends.size())
        return {};
    const qsizetype start = index > 0 ? ends[index - 1] : 0;
    return QByteArrayView(text).sliced(start, ends[index] - start);
}

// Each <si> one string: its <t> texts joined, without the phonetic runs (<rPh>).
OoxmlReader::SharedStrings OoxmlReader::sharedStrings(const QString &name)
{
    SharedStrings strings;
    withPart(name, [&](XmlPart &part) {
        bool inText = false;
        int phonetic = 0;
        while (part.next()) {
            if (part.isEnd(u"si")) {
                strings.ends.append(strings.text.size());
            } else if (part.isStart(u"rPh")) {
                ++phonetic;
            } else if (part.isEnd(u"rPh")) {
                --phonetic;
            } else if (part.isStart(u"t")) {
                inText = phonetic == 0;
            } else if (part.isEnd(u"t")) {
                inText = false;
            } else if (inText && part.xml().isCharacters()) {
                appendGrowing(strings.text, part.xml().text().toUtf8());
            }
        }
    });
    return strings;
}

// Each row is built as UTF-8, where the shared strings are already.
void OoxmlReader::readSheet(const QString &name, const SharedStrings &strings)
{
    withPart(name, [&](XmlPart &part) {
        QByteArray line;
        int nextColumn = 0;
        bool shared = false;
        int column = -1;
        QString value;
        bool inValue = false;
        int phonetic = 0;
        while (part.next()) {
            QXmlStreamReader &xml = part.xml();
            if (part.isStart(u"row")) {
                line.clear();
                nextColumn = 0;
            } else if (part.isEnd(u"row")) {
                while (line.endsWith('\t'))
                    line.chop(1);
                line += '\n';
                m_text.appendUtf8(line);
            } else if (part.isStart(u"c")) {
                const QXmlStreamAttributes attributes = xml.attributes();
                shared = attributes.value(QLatin1String("t")) == u"s";
                column = columnOf(attributes.value(QLatin1String("r")));
                value.clear();
            } else if (part.isEnd(u"c")) {
                // Column k of a row follows k tabs: the cells left out are empty.
                column = qMax(column, nextColumn);
                line.append(column - nextColumn + (nextColumn > 0 ? 1 : 0), '\t');
                if (shared) {
                    bool isIndex = false;
                    const int index = QStringView(value).toInt(&isIndex);
                    if (isIndex)
                        line += strings.value(index);
                } else {
                    line += value.toUtf8();
                }
                nextColumn = column + 1;
            } else if (part.isStart(u"rPh")) {
                ++phonetic;
            } else if (part.isEnd(u"rPh")) {
                --phonetic;
            } else if (part.isStart(u"v") || (part.isStart(u"t") && phonetic == 0)) {
                inValue = true;
            } else if (part.isEnd(u"v") || part.isEnd(u"t")) {
                inValue = false;
            } else if (inValue && xml.isCharacters()) {
                value += xml.text();
            }
        }
    });
}

// Word's and PowerPoint's text: <p> paragraphs of <t> runs, <tab>, <br> and <cr> inside
// them, tables of <tr> rows and <tc> cells. The content that a newer program put in
// mc:Choice is given again in mc:Fallback for older ones, which is passed over.
void OoxmlReader::readParagraphs(const QString &name)
{
    withPart(name, [&](XmlPart &part) {
        QString line;
        bool inText = false;
        int runs = 0;
        int cells = 0;
        while (part.next()) {
            QXmlStreamReader &xml = part.xml();
            if (part.isStart(u"Fallback")) {
                part.skipElement();
            } else if (part.isStart(u"t")) {
                inText = true;
            } else if (part.isEnd(u"t")) {
                inText = false;
            } else if (inText && xml.isCharacters()) {
                line += xml.text();
            } else if (part.isStart(u"r")) {
                ++runs;
            } else if (part.isEnd(u"r")) {
                --runs;
            } else if (part.isStart(u"tab") && runs > 0) {
                line += u'\t';
            } else if (part.isStart(u"br") || (part.isStart(u"cr") && runs > 0)) {
                line += u'\n';
            } else if (part.isEnd(u"p")) {
                if (cells > 0) {
                    line += u' ';
                } else {
                    m_text.appendLine(line);
                    line.clear();
                }
            } else if (part.isStart(u"tc")) {
                ++cells;
            } else if (part.isEnd(u"tc")) {
                --cells;
                chopTrailing(line, u" ");
                line += u'\t';
            } else if (part.isEnd(u"tr")) {
                chopTrailing(line, u" \t");
                m_text.appendLine(line);
                line.clear();
            }
        }
    });
}
