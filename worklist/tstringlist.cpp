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
    return TStrings::Text();
}

void TStringList::Sort(const Progress &progress)
{
    quickSortLines(m_items, progress);
}

void TStringList::SetLoadedText(const QString &text)
{
    m_items = text.split(QLatin1Char('\n'));
    m_items.removeLast();
}
