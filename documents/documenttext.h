#pragma once

#include "base/progress.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QStringView>

// Why a document could not be read; DocumentReader turns it into the French message.
enum class DocumentFault {
    Damaged,
    Protected,
    TooLarge,
    TooDeep,
    // The system refused what reading needs (a process, a pipe): error says why.
    SystemError,
};

struct DocumentFailure
{
    DocumentFault fault;
    int error = 0;
};

// Appends bytes to text, its room doubled through reserve() when it lacks some: a
// QByteArray that grows by its own appends keeps its old block while it copies it, half
// as much memory again as the text at the peak.
void appendGrowing(QByteArray &text, QByteArrayView bytes);

// The text that the readers of a document give, as UTF-8 lines each ended by '\n', with
// the limits that keep an archive made to explode from filling the memory: more than
// 2 GiB of text, or past 100 MB of text or of inflated bytes more than 1,000 times the
// document's size, throw DocumentFailure TooLarge. It counts the documents being read one
// inside the other; only the outermost one's progress is reported.
class DocumentText
{
public:
    DocumentText(qint64 inputSize, const Progress &progress);

    void appendLine(QStringView line);
    // Well-formed UTF-8.
    void appendUtf8(QByteArrayView utf8);
    // Ends the last line when it is not ended.
    void endLine();
    // Appends the text that part gathered (a piece of the document read on its own),
    // and counts the bytes it inflated.
    void append(const DocumentText &part);

    // Bytes inflated from an archive, whether they give text or not.
    void countInflated(qint64 bytes);
    // A stream's size grows as it is read.
    void setInputSize(qint64 size);
    // How far the outermost document has been read, in its bytes or in its pages.
    void reportProgress(qint64 done);
    void reportProgress(qint64 done, qint64 total);
    // Reports the outermost document's progress again, as far as it had come: a reader
    // that waits for another process calls it now and then, so that a cancel is seen.
    void reportWaiting() const;

    // A document inside the one being read, or the outermost itself: 1 for that one.
    int depth() const { return m_depth; }
    void enter() { ++m_depth; }
    void leave() { --m_depth; }

    QByteArray take();

private:
    void checkSize() const;

    QByteArray m_text;
    qint64 m_inputSize;
    qint64 m_inflated = 0;
    int m_depth = 0;
    qint64 m_done = 0;
    qint64 m_total = 0;
    const Progress &m_progress;
};
