#include "settings/inidocument.h"

#include "base/utf8.h"

#include <QByteArrayView>
#include <QtEndian>

#include <type_traits>

namespace {

// Where an entry is or would go, in units of the document's text.
struct Entry
{
    bool sectionFound = false;
    // Where a new entry of the section goes: after its last entry, or after its header.
    qsizetype insertAt = -1;
    bool keyFound = false;
    // The raw value of the entry, from after '=' to the end of its line.
    qsizetype valueStart = -1;
    qsizetype valueEnd = -1;
};

// The text of a document is UTF-8 bytes or UTF-16 units, and the rules read both alike.
char16_t unitAt(QByteArrayView text, qsizetype i)
{
    return uchar(text[i]);
}

char16_t unitAt(QStringView text, qsizetype i)
{
    return text[i].unicode();
}

qsizetype indexOfUnit(QByteArrayView text, char c, qsizetype from = 0)
{
    return text.indexOf(c, from);
}

qsizetype indexOfUnit(QStringView text, char c, qsizetype from = 0)
{
    return text.indexOf(QLatin1Char(c), from);
}

QByteArray encoded(QStringView text, const QByteArray &)
{
    return text.toUtf8();
}

QString encoded(QStringView text, const QString &)
{
    return text.toString();
}

bool isBlank(char16_t c)
{
    return c == u' ' || c == u'\t';
}

template <typename View>
View trimmedBlanks(View text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(unitAt(text, begin)))
        ++begin;
    while (end > begin && isBlank(unitAt(text, end - 1)))
        --end;
    return text.sliced(begin, end - begin);
}

bool sameName(QByteArrayView stored, QStringView wanted)
{
    return decodeUtf8(trimmedBlanks(stored)).compare(wanted, Qt::CaseInsensitive) == 0;
}

bool sameName(QStringView stored, QStringView wanted)
{
    return trimmedBlanks(stored).compare(wanted, Qt::CaseInsensitive) == 0;
}

// Decoding only the head of a long value keeps a huge line cheap; four bytes per unit
// always cover the units that are kept.
QString valueText(QByteArrayView raw)
{
    QString text = decodeUtf8(raw.first(qMin(raw.size(), IniDocument::MaxValueLength * 4)));
    text.truncate(IniDocument::MaxValueLength);
    return text;
}

QString valueText(QStringView raw)
{
    return raw.first(qMin(raw.size(), IniDocument::MaxValueLength)).toString();
}

// The text begins at start, after a mark.
template <typename View>
Entry find(View text, qsizetype start, QStringView section, QStringView key)
{
    section = trimmedBlanks(section);
    key = trimmedBlanks(key);
    Entry entry;
    bool inSection = false;
    qsizetype pos = start;

    while (pos < text.size()) {
        const qsizetype newline = indexOfUnit(text, '\n', pos);
        const qsizetype next = newline < 0 ? text.size() : newline + 1;
        qsizetype end = newline < 0 ? text.size() : newline;
        if (end > pos && unitAt(text, end - 1) == u'\r')
            --end;
        qsizetype first = pos;
        while (first < end && isBlank(unitAt(text, first)))
            ++first;
        const View line = text.sliced(first, end - first);
        pos = next;
        const char16_t opening = line.isEmpty() ? 0 : unitAt(line, 0);

        if (opening == u'[') {
            // A '[' line without ']' opens no section; it is kept as an ordinary line.
            const qsizetype close = indexOfUnit(line, ']');
            if (close >= 0) {
                if (inSection)
                    break;
                if (!entry.sectionFound && sameName(line.sliced(1, close - 1), section)) {
                    inSection = true;
                    entry.sectionFound = true;
                    entry.insertAt = next;
                }
                continue;
            }
        }
        if (!inSection || opening == u';' || opening == u'[')
            continue;
        const qsizetype equals = indexOfUnit(line, '=');
        if (equals < 0)
            continue;
        entry.insertAt = next;
        if (sameName(line.first(equals), key)) {
            entry.keyFound = true;
            entry.valueStart = first + equals + 1;
            entry.valueEnd = end;
            break;
        }
    }
    return entry;
}

template <typename Text>
std::optional<QString> valueIn(const Text &text, qsizetype start, QStringView section,
                               QStringView key)
{
    using View = std::conditional_t<std::is_same_v<Text, QString>, QStringView, QByteArrayView>;
    const Entry entry = find(View(text), start, section, key);
    if (!entry.keyFound)
        return std::nullopt;
    const qsizetype length = entry.valueEnd - entry.valueStart;
    View raw = trimmedBlanks(View(text).sliced(entry.valueStart, length));
    if (raw.size() >= 2 && (unitAt(raw, 0) == u'"' || unitAt(raw, 0) == u'\'')
        && unitAt(raw, raw.size() - 1) == unitAt(raw, 0))
        raw = raw.sliced(1, raw.size() - 2);
    return valueText(raw);
}

template <typename Text>
void setValueIn(Text &text, qsizetype start, QStringView section, QStringView key,
                QStringView value)
{
    using View = std::conditional_t<std::is_same_v<Text, QString>, QStringView, QByteArrayView>;
    qsizetype length = 0;
    while (length < value.size() && value[length] != u'\n' && value[length] != u'\r')
        ++length;
    const Text written = encoded(value.first(length), text);

    const Entry entry = find(View(text), start, section, key);
    if (entry.keyFound) {
        text.replace(entry.valueStart, entry.valueEnd - entry.valueStart, written);
        return;
    }

    Text lines;
    qsizetype at = text.size();
    if (entry.sectionFound)
        at = entry.insertAt;
    else
        lines += encoded(QChar(u'[') + section.toString() + QLatin1String("]\n"), text);
    lines += encoded(key, text) + encoded(u"=", text) + written + encoded(u"\n", text);
    if (at > start && unitAt(View(text), at - 1) != u'\n')
        lines.prepend(encoded(u"\n", text));
    text.insert(at, lines);
}

const QByteArray utf8Mark("\xEF\xBB\xBF");
const QByteArray utf16LeMark("\xFF\xFE");
const QByteArray utf16BeMark("\xFE\xFF");

} // namespace

IniDocument::IniDocument(const QByteArray &data)
{
    const bool littleEndian = data.startsWith(utf16LeMark);
    if (!littleEndian && !data.startsWith(utf16BeMark)) {
        m_data = data;
        return;
    }
    m_encoding = littleEndian ? Encoding::Utf16LittleEndian : Encoding::Utf16BigEndian;
    const qsizetype units = (data.size() - 2) / 2;
    m_units.resize(units);
    auto *target = reinterpret_cast<char16_t *>(m_units.data());
    if (littleEndian)
        qFromLittleEndian<char16_t>(data.constData() + 2, units, target);
    else
        qFromBigEndian<char16_t>(data.constData() + 2, units, target);
    m_oddByte = data.sliced(2 + 2 * units);
}

std::optional<QString> IniDocument::value(QStringView section, QStringView key) const
{
    if (m_encoding != Encoding::Utf8)
        return valueIn(m_units, 0, section, key);
    return valueIn(m_data, m_data.startsWith(utf8Mark) ? utf8Mark.size() : 0, section, key);
}

void IniDocument::setValue(QStringView section, QStringView key, QStringView value)
{
    if (m_encoding != Encoding::Utf8)
        setValueIn(m_units, 0, section, key, value);
    else
        setValueIn(m_data, m_data.startsWith(utf8Mark) ? utf8Mark.size() : 0, section, key, value);
}

QByteArray IniDocument::data() const
{
    if (m_encoding == Encoding::Utf8)
        return m_data;
    const bool littleEndian = m_encoding == Encoding::Utf16LittleEndian;
    QByteArray bytes = littleEndian ? utf16LeMark : utf16BeMark;
    const qsizetype start = bytes.size();
    bytes.resize(start + 2 * m_units.size());
    if (littleEndian)
        qToLittleEndian<char16_t>(m_units.utf16(), m_units.size(), bytes.data() + start);
    else
        qToBigEndian<char16_t>(m_units.utf16(), m_units.size(), bytes.data() + start);
    return bytes + m_oddByte;
}
