#pragma once

#include <QString>

#include <optional>
#include <utility>

// Where the event loop calls the program's code (an event handler, a slot, a timer, a
// queued call, a virtual function that Qt calls), no exception may leave it: Qt is not
// exception-safe, and one that crosses its frames ends the program. Each such boundary
// runs its body in guarded(), which turns an exception into a message for the user and
// hands it to a sink.
//
// The sink that shows messages is installed by the window, which has the error box; the
// layers below it report through reportError() and reportErrorLater() without knowing the
// box. Until a sink is installed, messages go to standard error.

using ErrorSink = void (*)(const QString &message);
void setErrorSink(ErrorSink sink);

// Hands the message to the installed sink now.
void reportError(const QString &message);
// Hands the message to the installed sink from the event loop, for places where a modal box
// must not open, such as a paint or a question Qt asks. While one such message waits, others
// are dropped, so that a failure that repeats gives one box.
void reportErrorLater(const QString &message);

// The message for the exception being handled, to be called inside a catch block:
// « Mémoire insuffisante » for std::bad_alloc, its own message for AdrelioError, what() for
// another std::exception, « Erreur inconnue » for anything else; nothing for a cancelled
// operation.
std::optional<QString> currentErrorMessage() noexcept;
// Hands currentErrorMessage() to report, if there is one and report is not null; a report
// that fails itself (a box that cannot be made) is given up.
void reportCurrentException(ErrorSink report) noexcept;

// Runs body; an exception that leaves it goes to report, and false is returned. A null
// report drops the message.
template <typename Body>
bool guarded(Body &&body, ErrorSink report = reportError) noexcept
{
    try {
        std::forward<Body>(body)();
        return true;
    } catch (...) {
        reportCurrentException(report);
        return false;
    }
}
