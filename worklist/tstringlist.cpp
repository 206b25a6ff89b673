#include "worklist/tstringlist.h"

#include "worklist/linesort.h"

TStringList::TStringList(QStringList items)
    : m_items(std::move(items))
{
}

int TStringList::Count() const
{
    return int(m_items.size());
}

QString TStringList::Strings(int index) const
{
    return m_items.value(index);
}

void TStringList::Clear()
{
    m_items.clear();
}

int TStringList::Add(const QString &s)
{
    m_items.append(s);
    return int(m_items.size() - 1);
}

QString TStringList::Text() const
{
    const QLatin1String lineBreak("\r\n");
    qsizetype size = 0;
    for (const QString &line : m_items)
        size += line.size() + lineBreak.size();
    QString text;
    text.reserve(size);
    for (const QString &line : m_items) {
        text += line;
        text += lineBreak;
    }
    return text;
}

void TStringList::Sort(const Progress &progress)
{
    quickSortLines(m_items, progress);
}

// A break that ends the text does not start another line.
void TStringList::SetLoadedText(const QString &text)
{
    m_items = text.split(QLatin1Char('\n'));
    if (m_items.constLast().isEmpty())
        m_items.removeLast();
}
