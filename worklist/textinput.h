#pragma once

#include "base/textencoding.h"

#include <QByteArray>
#include <QString>

// A text read as it comes, a piece at a time: a file of any size, a pipe, a device,
// standard input, or bytes held in memory. Its encoding is found from the mark at its
// start, as readTextFile() finds it: without a mark, Windows-1252 when a file's bytes, or
// those a stream brings with its first read, are not UTF-8. read() gives the body after
// the mark; the body of a file can also be read at any offset, from several threads at
// once. Unlike readTextFile(), which keeps the window's limits for a drop, it takes
// whatever can be read, and opening a FIFO waits for a writer, as cat does; a folder is
// refused.
class TextInput
{
public:
    // Throws AdrelioError with the open message.
    explicit TextInput(const QString &fileName);
    // bytes, handed out at most pieceSize at a time, as a pipe hands out what it holds.
    TextInput(QByteArray bytes, qsizetype pieceSize);
    // bytes, read as a file is.
    explicit TextInput(QByteArray bytes);
    // Standard input; it stays open.
    static TextInput standardInput();
    // A stream whose first bytes, head, were read already (to tell what it holds): they
    // come before the rest of fd, which is closed at the end when ownsFd. fileName names
    // it in messages; empty for standard input.
    static TextInput stream(int fd, bool ownsFd, const QString &fileName, QByteArray head);

    TextInput(TextInput &&other) noexcept;
    TextInput &operator=(TextInput &&) = delete;
    ~TextInput();

    // Reads the start of the input the first time.
    TextEncoding encoding();

    // Puts up to size bytes of the body into buffer: waits until there is at least one or
    // the input has ended, then takes only what is there without waiting, so that a pipe
    // is worked on as it is written. Returns 0 at the end. Throws AdrelioError with the
    // read message.
    qsizetype read(char *buffer, qsizetype size);

    // Whether readAt() works: the input is a file.
    bool isSeekable() const;
    // Puts up to size bytes of the body that lie offset bytes after its start into buffer;
    // fewer only at the end. Safe from several threads at once; read() is not to be mixed
    // with it.
    qsizetype readAt(char *buffer, qsizetype size, qint64 offset);

private:
    TextInput(int fd, bool ownsFd, const QString &fileName, QByteArray head = {});

    qsizetype readRaw(char *buffer, qsizetype size);
    bool bodyIsUtf8();
    [[noreturn]] void throwReadError(int error) const;

    int m_fd = -1;
    bool m_ownsFd = false;
    bool m_regularFile = false;
    bool m_memoryFile = false;
    qint64 m_markSize = 0;
    QString m_fileName;
    QByteArray m_memory;
    qsizetype m_memoryOffset = 0;
    qsizetype m_pieceSize = 0;
    bool m_started = false;
    TextEncoding m_encoding = TextEncoding::System;
    QByteArray m_start;
    QByteArray m_head;
};
