#pragma once

#include <QString>

// Shows text in a modal box captioned with the application title, without icon, with one
// OK button, and returns when the user has closed it.
void showMessage(const QString &text);
