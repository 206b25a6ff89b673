#pragma once

#include "settings/integertext.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <initializer_list>

// The settings unit: the profile file beside the executable, the strings that identify
// the running program, and small text helpers. Every profile accessor opens the file,
// reads or writes one entry and releases it again; nothing is cached. An empty Fichier
// means the default profile file.

using TarrayOfString = QStringList;

// The full path of the executable with its extension replaced by ".INI"; empty when the
// executable's path is not known.
QString GetIniFileName();
QString iniFileNameFromPath(const QString &executablePath);

// Reads never fail: a missing file, section or key gives Valeur_Defaut (without its
// trailing blanks, for GetStr), and so does text that is not an integer for GetInt and
// GetBool. A refused write raises AdrelioError "Impossible d'écrire dans %s" with the
// profile's full path, and the file stays as it was.
QString GetStr(const QString &Rubrique, const QString &Titre, const QString &Valeur_Defaut,
               const QString &Fichier);
void SaveStr(const QString &Rubrique, const QString &Titre, const QString &Valeur,
             const QString &Fichier);
qint32 GetInt(const QString &Rubrique, const QString &Titre, qint32 Valeur_Defaut,
              const QString &Fichier);
void SaveInt(const QString &Rubrique, const QString &Titre, qint32 Valeur, const QString &Fichier);
bool GetBool(const QString &Rubrique, const QString &Titre, bool Valeur_Defaut,
             const QString &Fichier);
void SaveBool(const QString &Rubrique, const QString &Titre, bool Valeur, const QString &Fichier);

// The executable's file name without its last extension; with EnMajuscules only the
// letters a-z are raised.
QString ExeName(bool EnMajuscules);
QString exeNameFromPath(const QString &executablePath, bool EnMajuscules);

// The file version built into the executable, four numbers joined by ".". Raises
// AdrelioError "Les informations de version de sont pas incluses" when the build carries
// no version.
QString App_Version();
QString versionText(QStringView builtVersion);

// The executable's modification date in local time as "dd-MM-yy"; empty when unreadable.
QString App_DATE();
QString fileDateText(const QString &path);

// "%s %s | Orvalin ***{:- %s | %s" filled with the base name in capitals, the version,
// chaine and the date.
QString App_Caption(const QString &chaine);
QString captionFromPath(const QString &executablePath, const QString &chaine);

// The caption of the program's message boxes: the executable's file name cut at its
// first ".", every character after the first in lower case.
QString applicationTitle();
QString applicationTitleFromPath(const QString &executablePath);

// Cuts chaine at each occurrence of separateur; a trailing separator adds no empty element.
TarrayOfString Split(const QString &chaine, const QString &separateur);

// Fills each "%s" of format, in order, with the next value, taken as it is.
QString fillFormat(QStringView format, std::initializer_list<QStringView> values);
