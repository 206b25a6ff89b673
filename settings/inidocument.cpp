#include "settings/inidocument.h"

#include "base/utf8.h"

#include <QByteArrayView>

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

QByteArrayView trimmedBlanks(QByteArrayView bytes)
{
    qsizetype begin = 0;
    qsizetype end = bytes.size();
    while (begin < end && isBlank(bytes[begin]))
        ++begin;
    while (end > begin && isBlank(bytes[end - 1]))
        --end;
    return bytes.sliced(begin, end - begin);
}

bool sameName(QByteArrayView stored, QStringView wanted)
{
    return decodeUtf8(trimmedBlanks(stored)).compare(wanted, Qt::CaseInsensitive) == 0;
}

QStringView trimmedName(QStringView name)
{
    while (!name.isEmpty() && (name.front() == u' ' || name.front() == u'\t'))
        name = name.sliced(1);
    while (!name.isEmpty() && (name.back() == u' ' || name.back() == u'\t'))
        name.chop(1);
    return name;
}

const QByteArray utf8Mark("\xEF\xBB\xBF");

} // namespace

IniDocument::IniDocument(const QByteArray &data)
    : m_data(data)
{
}

IniDocument::Entry IniDocument::find(QStringView section, QStringView key) const
{
    section = trimmedName(section);
    key = trimmedName(key);
    const QByteArrayView data(m_data);
    Entry entry;
    bool inSection = false;
    qsizetype pos = data.startsWith(utf8Mark) ? utf8Mark.size() : 0;

    while (pos < data.size()) {
        const qsizetype newline = data.indexOf('\n', pos);
        const qsizetype next = newline < 0 ? data.size() : newline + 1;
        qsizetype end = newline < 0 ? data.size() : newline;
        if (end > pos && data[end - 1] == '\r')
            --end;
        qsizetype first = pos;
        while (first < end && isBlank(data[first]))
            ++first;
        const QByteArrayView line = data.sliced(first, end - first);
        pos = next;

        if (line.startsWith('[')) {
            // A '[' line without ']' opens no section; it is kept as an ordinary line.
            const qsizetype close = line.indexOf(']');
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
        if (!inSection || line.startsWith(';') || line.startsWith('['))
            continue;
        const qsizetype equals = line.indexOf('=');
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

std::optional<QString> IniDocument::value(QStringView section, QStringView key) const
{
    const Entry entry = find(section, key);
    if (!entry.keyFound)
        return std::nullopt;
    QByteArrayView raw = trimmedBlanks(
            QByteArrayView(m_data).sliced(entry.valueStart, entry.valueEnd - entry.valueStart));
    if (raw.size() >= 2 && (raw.front() == '"' || raw.front() == '\'') && raw.back() == raw.front())
        raw = raw.sliced(1, raw.size() - 2);
    // Decoding only the head of a long value keeps a huge line cheap; four bytes per unit
    // always cover the units that are kept.
    QString text = decodeUtf8(raw.first(qMin(raw.size(), MaxValueLength * 4)));
    text.truncate(MaxValueLength);
    return text;
}

void IniDocument::setValue(QStringView section, QStringView key, QStringView value)
{
    qsizetype length = 0;
    while (length < value.size() && value[length] != u'\n' && value[length] != u'\r')
        ++length;
    const QByteArray bytes = value.first(length).toUtf8();

    const Entry entry = find(section, key);
    if (entry.keyFound) {
        m_data.replace(entry.valueStart, entry.valueEnd - entry.valueStart, bytes);
        return;
    }

    QByteArray lines;
    qsizetype at = m_data.size();
    if (entry.sectionFound) {
        at = entry.insertAt;
    } else {
        lines += '[' + section.toUtf8() + "]\n";
    }
    lines += key.toUtf8() + '=' + bytes + '\n';

    const qsizetype contentStart = m_data.startsWith(utf8Mark) ? utf8Mark.size() : 0;
    if (at > contentStart && m_data[at - 1] != '\n')
        lines.prepend('\n');
    m_data.insert(at, lines);
}
