#pragma once

#include "base/boundary.h"

#include <QString>

#include <functional>
#include <utility>

// The text the error box shows: a "." is appended when the message's last character
// comes after "." in code order, so "Erreur" gets its period while "Erreur." or "(x)"
// stay as they are.
QString errorBoxText(const QString &message);

// Shows a message in the error box (critical icon, one OK button, the application title
// as caption), modal to the active window, and returns when the user has dismissed it.
void showErrorBox(const QString &message);

// Replaces the box by another function taking the text that would be shown, or puts the
// box back when given an empty function. Tests use it to see errors without a modal box.
using ErrorBoxHook = std::function<void(const QString &text)>;
void setErrorBoxHook(ErrorBoxHook hook);

// Runs the body of a handler of the window that the event loop called: guarded() with the
// error box as the sink, so an error is shown there and false is returned. A cancelled
// operation returns false without a message.
template <typename Body>
bool runHandler(Body &&body)
{
    return guarded(std::forward<Body>(body), showErrorBox);
}
