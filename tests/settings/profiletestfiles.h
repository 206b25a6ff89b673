#pragma once

#include "worklist/adrelioerror.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <functional>

// File and error helpers shared by the settings tests.

inline bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The message of the AdrelioError that operation raises; empty when it raises none.
inline QString errorOf(const std::function<void()> &operation)
{
    try {
        operation();
    } catch (const AdrelioError &error) {
        return error.message();
    }
    return QString();
}
