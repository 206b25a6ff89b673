#pragma once

#include <QString>
#include <QStringView>

// The strings that identify the running program, derived from its executable each time
// they are asked for: its base name, the version built into it, its modification date,
// the window caption made of them, and the title that captions its message boxes.
class ProgramIdentity
{
public:
    // The identity of the executable at executablePath; the running one by default.
    explicit ProgramIdentity(const QString &executablePath = runningExecutable());

    static QString runningExecutable();

    QString executablePath() const { return m_executablePath; }

    // The file name without its last extension. In capitals, only the letters a-z are
    // raised.
    QString baseName() const;
    QString baseNameInCapitals() const;

    // The file version built into the program, four numbers joined by ".". Throws
    // AdrelioError "Les informations de version de sont pas incluses" when the build
    // carries no version.
    QString version() const;
    // The same for a version text as the build gives it, for tests.
    static QString versionFromBuild(QStringView builtVersion);

    // The executable's modification date in local time as "dd-MM-yy"; empty when it
    // cannot be read.
    QString date() const;

    // "%s %s | Orvalin ***{:- %s | %s" filled with the base name in capitals, the version,
    // freeText and the date. Throws as version() does.
    QString caption(const QString &freeText) const;

    // The caption of message boxes: the file name cut at its first ".", every character
    // after the first in lower case.
    QString title() const;

private:
    QString m_executablePath;
};
