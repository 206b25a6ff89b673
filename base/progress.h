#pragma once

#include <QtGlobal>

#include <exception>
#include <functional>

// Long work (reading, decoding, extracting, sorting, saving a large list) reports how far
// it has come through a Progress callback, now and then (every megabyte or every few
// tens of thousands of lines). The callback returns false when the user cancelled; the
// work then throws OperationCancelled before it has changed anything.
using Progress = std::function<bool(qint64 done, qint64 total)>;

class OperationCancelled : public std::exception
{
public:
    const char *what() const noexcept override { return "cancelled"; }
};

inline void reportProgress(const Progress &progress, qint64 done, qint64 total)
{
    if (progress && !progress(done, total))
        throw OperationCancelled();
}
