#include "extract/splitfields.h"

namespace {

constexpr char16_t delimiter = u',';
constexpr char16_t quoteChar = u'"';

bool isBlank(QChar c)
{
    return c.unicode() >= 1 && c.unicode() <= 32;
}

// The line is walked one character at a time, a character being a unit with the low
// surrogate and the non-spacing marks that directly follow it. So marks after a blank or a
// delimiter go with it and never begin a field.
qsizetype nextCharacter(QStringView line, qsizetype i)
{
    ++i;
    if (i < line.size() && line[i].isLowSurrogate())
        ++i;
    while (i < line.size() && line[i].category() == QChar::Mark_NonSpacing)
        ++i;
    return i;
}

qsizetype passBlanks(QStringView line, qsizetype i)
{
    while (i < line.size() && isBlank(line[i]))
        i = nextCharacter(line, i);
    return i;
}

// Reads the quoted field whose opening quote is at i, one unit at a time, and leaves i
// after its closing quote, or at the end of the line when there is none.
QString readQuotedField(QStringView line, qsizetype &i)
{
    QString field;
    qsizetype from = ++i;
    while (i < line.size()) {
        if (line[i] == quoteChar) {
            if (i + 1 < line.size() && line[i + 1] == quoteChar) {
                field += line.sliced(from, i + 1 - from);
                i += 2;
                from = i;
                continue;
            }
            field += line.sliced(from, i - from);
            ++i;
            return field;
        }
        ++i;
    }
    field += line.sliced(from);
    return field;
}

} // namespace

void splitFields(QStringView line, QStringList &fields)
{
    fields.clear();
    const qsizetype nul = line.indexOf(QChar(0));
    if (nul >= 0)
        line.truncate(nul);

    qsizetype i = passBlanks(line, 0);
    while (i < line.size()) {
        if (line[i] == quoteChar) {
            fields.append(readQuotedField(line, i));
        } else {
            const qsizetype start = i;
            while (i < line.size() && !isBlank(line[i]) && line[i] != delimiter)
                i = nextCharacter(line, i);
            fields.append(line.sliced(start, i - start).toString());
        }
        i = passBlanks(line, i);
        if (i < line.size() && line[i] == delimiter) {
            i = nextCharacter(line, i);
            if (i == line.size())
                fields.append(QString());
            i = passBlanks(line, i);
        }
    }
}
