#include "base/boundary.h"

#include "base/adrelioerror.h"
#include "base/progress.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <cstdio>
#include <exception>
#include <new>

namespace {

void writeToStandardError(const QString &message)
{
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}

ErrorSink installedSink = writeToStandardError;
bool reportWaiting = false;

} // namespace

void setErrorSink(ErrorSink sink)
{
    installedSink = sink ? sink : writeToStandardError;
}

void reportError(const QString &message)
{
    installedSink(message);
}

void reportErrorLater(const QString &message)
{
    QCoreApplication *application = QCoreApplication::instance();
    if (!application) {
        reportError(message);
        return;
    }
    if (reportWaiting)
        return;
    reportWaiting = true;
    try {
        QMetaObject::invokeMethod(
                application,
                [message] {
                    reportWaiting = false;
                    guarded([&message] { reportError(message); });
                },
                Qt::QueuedConnection);
    } catch (...) {
        reportWaiting = false;
        throw;
    }
}

std::optional<QString> currentErrorMessage() noexcept
{
    // A literal costs no allocation, which matters most when memory has run out.
    const QString outOfMemory = QStringLiteral("Mémoire insuffisante");
    try {
        throw;
    } catch (const OperationCancelled &) {
        return std::nullopt;
    } catch (const AdrelioError &error) {
        return error.message();
    } catch (const std::bad_alloc &) {
        return outOfMemory;
    } catch (const std::exception &error) {
        try {
            return QString::fromLocal8Bit(error.what());
        } catch (...) {
            return outOfMemory;
        }
    } catch (...) {
        return QStringLiteral("Erreur inconnue");
    }
}

void reportCurrentException(ErrorSink report) noexcept
{
    const std::optional<QString> message = currentErrorMessage();
    if (!message || !report)
        return;
    try {
        report(*message);
    } catch (...) {
    }
}
