#pragma once

#include <QString>

// The texts of the errors that file operations report, in French, with the system's reason.

// The name made absolute against the current directory.
QString fullPath(const QString &fileName);

// The system's text for an error number in the user's language, without trailing blanks,
// control characters and periods.
QString systemErrorText(int errnum);

// "Impossible d'ouvrir le fichier "<full path>". <reason>", and the same for a failed
// create and a failed read.
QString openErrorMessage(const QString &fileName, int errnum);
QString createErrorMessage(const QString &fileName, int errnum);
QString readErrorMessage(const QString &fileName, int errnum);
// A write that stored nothing.
QString writeErrorMessage();
