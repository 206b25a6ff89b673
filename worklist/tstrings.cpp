#include "worklist/tstrings.h"

#include "worklist/textfile.h"

void TStrings::Assign(const TStrings &source)
{
    BeginUpdate();
    Clear();
    CopyAttributes(source);
    const int n = source.Count();
    for (int i = 0; i < n; ++i)
        Add(source.Strings(i));
    EndUpdate();
}

QString TStrings::Text() const
{
    QString text;
    const int n = Count();
    for (int i = 0; i < n; ++i) {
        text += Strings(i);
        text += QLatin1String("\r\n");
    }
    return text;
}

void TStrings::BeginUpdate()
{
    if (m_updateCount++ == 0)
        SetUpdateState(true);
}

void TStrings::EndUpdate()
{
    if (--m_updateCount == 0)
        SetUpdateState(false);
}

void TStrings::SetUpdateState(bool)
{
}

void TStrings::CopyAttributes(const TStrings &source)
{
    m_defaultEncoding = source.m_defaultEncoding;
    m_encoding = source.m_encoding == TEncoding::None ? TEncoding::ANSI : source.m_encoding;
    m_writeBom = source.m_writeBom;
    m_delimiter = source.m_delimiter;
    m_quoteChar = source.m_quoteChar;
    m_strictDelimiter = source.m_strictDelimiter;
}

void TStrings::LoadFromFile(const QString &fileName, const Progress &progress)
{
    const RawTextFile file = readTextFile(fileName, m_defaultEncoding, progress);
    const QString text = decodeText(file, progress);
    BeginUpdate();
    m_encoding = file.encoding;
    SetLoadedText(text);
    EndUpdate();
}

void TStrings::SaveToFile(const QString &fileName, const Progress &progress) const
{
    const TEncoding encoding = m_encoding == TEncoding::None ? m_defaultEncoding : m_encoding;
    writeTextFile(fileName, Text(), encoding, m_writeBom, progress);
}
