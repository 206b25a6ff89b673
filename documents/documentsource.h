#pragma once

#include <QByteArray>
#include <QString>

// Where a document's bytes come from: a named file, bytes held in memory (a member of an
// archive), or a stream (a pipe, standard input) whose first bytes, head, were read
// already to tell its kind and come before the rest of fd.
struct DocumentSource
{
    QString fileName;
    QByteArray bytes;
    int fd = -1;
    QByteArray head;

    bool isFile() const { return !fileName.isEmpty() && fd < 0; }
    bool isStream() const { return fd >= 0; }
};
