#include "documents/plaintextdecoder.h"

#include "base/windows1252.h"
#include "worklist/textfile.h"

namespace {

// The longest mark, UTF-8's.
constexpr qsizetype longestMark = 3;

} // namespace

PlainTextDecoder::PlainTextDecoder(DocumentText &text)
    : m_text(text)
{
}

void PlainTextDecoder::append(QByteArrayView bytes)
{
    m_pending += bytes;
    if (!m_started && m_pending.size() < longestMark)
        return;
    decode(false);
}

void PlainTextDecoder::finish()
{
    decode(true);
    m_text.endLine();
}

void PlainTextDecoder::decode(bool final)
{
    if (!m_started) {
        m_started = true;
        qsizetype markSize = 0;
        const TextEncoding encoding = encodingOfMark(m_pending, &markSize);
        m_pending.remove(0, markSize);
        if (encoding == TextEncoding::Utf16LittleEndian)
            m_utf16 = QStringDecoder(QStringConverter::Utf16LE, QStringConverter::Flag::ConvertInitialBom);
        else if (encoding == TextEncoding::Utf16BigEndian)
            m_utf16 = QStringDecoder(QStringConverter::Utf16BE, QStringConverter::Flag::ConvertInitialBom);
    }
    if (m_utf16.isValid()) {
        const QString text = m_utf16.decode(m_pending);
        m_pending.clear();
        m_text.appendUtf8(text.toUtf8());
        return;
    }
    m_utf8.resize(3 * m_pending.size());
    qsizetype used = 0;
    m_utf8.resize(mixedTextToUtf8(m_pending, final, m_utf8.data(), &used));
    m_pending.remove(0, used);
    m_text.appendUtf8(m_utf8);
}
