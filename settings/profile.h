#pragma once

#include <QString>

// The profile file that keeps the program's settings between runs: sections of
// "key=value" entries. Every access opens the file, reads or writes one entry and
// releases it again; nothing is cached, so a Profile is only a file name.
//
// Reads never fail: a missing file, section or key gives the default (without its
// trailing blanks, for value()), and so does text that is not an integer for intValue()
// and boolValue(). A refused write throws AdrelioError "Impossible d'écrire dans %s" with
// the profile's full path, and the file stays as it was; every write replaces the file
// atomically.
class Profile
{
public:
    // The program's own profile, defaultFileName().
    Profile();
    explicit Profile(const QString &fileName);

    // The full path of the running executable with its extension replaced by ".INI";
    // empty when the executable's path is not known.
    static QString defaultFileName();
    static QString fileNameForExecutable(const QString &executablePath);

    QString fileName() const { return m_fileName; }

    QString value(const QString &section, const QString &key,
                  const QString &defaultValue = QString()) const;
    void setValue(const QString &section, const QString &key, const QString &value);

    // The stored text read by the integer text rules.
    qint32 intValue(const QString &section, const QString &key, qint32 defaultValue) const;
    // True when the stored integer is not 0; stored as "1" or "0".
    bool boolValue(const QString &section, const QString &key, bool defaultValue) const;
    void setBoolValue(const QString &section, const QString &key, bool value);

private:
    QString m_fileName;
};
