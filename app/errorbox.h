#pragma once

#include <QString>

#include <functional>

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

// Runs the body of a handler that the event loop called. Qt is not exception-safe, so
// no exception may leave it: an error is shown in the error box and false is returned.
// A cancelled operation returns false without a message.
bool runHandler(const std::function<void()> &body);
