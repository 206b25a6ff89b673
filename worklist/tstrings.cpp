#include "worklist/tstrings.h"

#include "worklist/textfile.h"

void TStrings::Assign(const TStrings &source)
{
    UpdateBlock update(*this);
    Clear();
    CopyAttributes(source);
    const int n = source.Count();
    for (int i = 0; i < n; ++i)
        Add(source.Strings(i));
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

// The file is read and decoded before the lines are touched, so a failure or a cancel
// changes nothing. Both steps report through one progress run.
void TStrings::LoadFromFile(const QString &fileName, const Progress &progress)
{
    auto step = [&progress](qint64 first) -> Progress {
        if (!progress)
            return {};
        return [&progress, first](qint64 done, qint64 total) {
            return progress(first * total + done, 2 * total);
        };
    };
    LoadFromRawFile(readTextFile(fileName, m_defaultEncoding, step(0)), step(1));
}

void TStrings::LoadFromRawFile(const RawTextFile &file, const Progress &progress)
{
    const QString text = decodeText(file, progress);
    UpdateBlock update(*this);
    m_encoding = file.encoding;
    SetLoadedText(text);
}

void TStrings::SaveToFile(const QString &fileName, const Progress &progress) const
{
    const TEncoding encoding = m_encoding == TEncoding::None ? m_defaultEncoding : m_encoding;
    writeTextFile(fileName, Text(), encoding, m_writeBom, progress);
}
