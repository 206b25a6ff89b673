#pragma once

#include <QString>
#include <QStringView>

// The profile file that keeps the program's settings between runs: sections of
// "key=value" entries. Every access opens the file, reads or writes one entry and
// releases it again; nothing is cached, so a Profile is only a file name, with the name of
// the file it starts from.
//
// A profile may start from defaults, another profile that is only read: while the
// profile's own file does not exist, reads come from the defaults and the first write
// starts the file from their content, so that no entry is lost. Defaults are never
// written.
//
// Reads never fail: a missing file, section or key gives the default (without its
// trailing blanks, for value()), and so does text that is not an integer for intValue()
// and boolValue(). A refused write throws AdrelioError "Impossible d'écrire dans %s" with
// the profile's full path, and the file stays as it was; every write replaces the file
// atomically, and creates its folder when it is missing.
class Profile
{
public:
    // The running program's profile: forExecutable() of its executable, with
    // userConfigFolder().
    Profile();
    explicit Profile(const QString &fileName, const QString &defaultsFileName = QString());

    // The profile of the executable at executablePath, named after it with ".INI". It lies
    // beside the executable when that folder may be written, as in a copy unpacked or
    // built in the user's own folder. An installed copy cannot write there: its profile is
    // then the file of that name in configFolder, with the one beside the executable as
    // its defaults, which an administrator may provide. No file name when the executable's
    // path is not known.
    static Profile forExecutable(const QString &executablePath, const QString &configFolder);
    // The user's folder of Adrelio's settings, $XDG_CONFIG_HOME/Adrelio or
    // ~/.config/Adrelio, whatever the application's name.
    static QString userConfigFolder();

    QString fileName() const { return m_fileName; }
    QString defaultsFileName() const { return m_defaultsFileName; }

    QString value(const QString &section, const QString &key,
                  const QString &defaultValue = QString()) const;
    void setValue(const QString &section, const QString &key, const QString &value);
    // Whether value can be written as it is: a line break would end its line, which
    // setValue() cuts it at, and a U+0000 ends the text of the platform's profile functions.
    static bool canHold(QStringView value);

    // The stored text read by the integer text rules.
    qint32 intValue(const QString &section, const QString &key, qint32 defaultValue) const;
    // True when the stored integer is not 0; stored as "1" or "0".
    bool boolValue(const QString &section, const QString &key, bool defaultValue) const;
    void setBoolValue(const QString &section, const QString &key, bool value);

private:
    QString m_fileName;
    QString m_defaultsFileName;
};
