#include "documents/documenttext.h"

namespace {

constexpr qint64 maxText = qint64(2) << 30;
constexpr qint64 ratioFloor = 100'000'000;
constexpr qint64 maxRatio = 1000;

} // namespace

void appendGrowing(QByteArray &text, QByteArrayView bytes)
{
    if (text.capacity() - text.size() < bytes.size())
        text.reserve(qMax(2 * text.capacity(), text.size() + bytes.size()));
    text.append(bytes);
}

DocumentText::DocumentText(qint64 inputSize, const Progress &progress)
    : m_inputSize(inputSize), m_progress(progress)
{
}

void DocumentText::appendLine(QStringView line)
{
    appendGrowing(m_text, line.toUtf8());
    appendGrowing(m_text, "\n");
    checkSize();
}

void DocumentText::appendUtf8(QByteArrayView utf8)
{
    appendGrowing(m_text, utf8);
    checkSize();
}

void DocumentText::endLine()
{
    if (!m_text.isEmpty() && !m_text.endsWith('\n'))
        appendGrowing(m_text, "\n");
}

void DocumentText::append(const DocumentText &part)
{
    m_inflated += part.m_inflated;
    appendUtf8(part.m_text);
}

void DocumentText::countInflated(qint64 bytes)
{
    m_inflated += bytes;
    checkSize();
}

void DocumentText::setInputSize(qint64 size)
{
    m_inputSize = size;
}

void DocumentText::reportProgress(qint64 done)
{
    reportProgress(done, qMax(done, m_inputSize));
}

void DocumentText::reportProgress(qint64 done, qint64 total)
{
    if (m_depth > 1)
        return;
    m_done = done;
    m_total = total;
    ::reportProgress(m_progress, done, total);
}

void DocumentText::reportWaiting() const
{
    ::reportProgress(m_progress, m_done, m_total);
}

QByteArray DocumentText::take()
{
    return std::move(m_text);
}

void DocumentText::checkSize() const
{
    const qint64 size = m_text.size();
    if (size > maxText)
        throw DocumentFailure{DocumentFault::TooLarge};
    const qint64 largest = qMax(size, m_inflated);
    if (largest > ratioFloor && largest / maxRatio > m_inputSize)
        throw DocumentFailure{DocumentFault::TooLarge};
}
