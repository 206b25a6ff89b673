#include "settings/kesto_ini.h"

#include "settings/inidocument.h"
#include "worklist/adrelioerror.h"
#include "worklist/textfile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

QString executablePath()
{
    return QCoreApplication::instance() ? QCoreApplication::applicationFilePath() : QString();
}

QString fileNameOf(const QString &path)
{
    return path.mid(path.lastIndexOf(u'/') + 1);
}

// A leading "." belongs to the name of a hidden file, not to an extension.
QString withoutExtension(const QString &fileName)
{
    const qsizetype dot = fileName.lastIndexOf(u'.');
    return dot > 0 ? fileName.left(dot) : fileName;
}

QString profilePath(const QString &Fichier)
{
    return Fichier.isEmpty() ? GetIniFileName() : Fichier;
}

std::optional<QString> readProfileValue(const QString &Rubrique, const QString &Titre,
                                        const QString &Fichier)
{
    QFile file(profilePath(Fichier));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return IniDocument(file.readAll()).value(Rubrique, Titre);
}

[[noreturn]] void throwWriteError(const QString &fileName)
{
    throw AdrelioError(fillFormat(u"Impossible d'écrire dans %s", { fullPath(fileName) }));
}

QString asciiUpper(QString text)
{
    for (QChar &c : text) {
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - u'a' + u'A');
    }
    return text;
}

} // namespace

QString GetIniFileName()
{
    return iniFileNameFromPath(executablePath());
}

QString iniFileNameFromPath(const QString &executablePath)
{
    if (executablePath.isEmpty())
        return QString();
    const QString name = fileNameOf(executablePath);
    return executablePath.left(executablePath.size() - name.size()) + withoutExtension(name)
            + QLatin1String(".INI");
}

QString GetStr(const QString &Rubrique, const QString &Titre, const QString &Valeur_Defaut,
               const QString &Fichier)
{
    if (const auto stored = readProfileValue(Rubrique, Titre, Fichier))
        return *stored;
    qsizetype end = Valeur_Defaut.size();
    while (end > 0 && (Valeur_Defaut[end - 1] == u' ' || Valeur_Defaut[end - 1] == u'\t'))
        --end;
    return Valeur_Defaut.left(qMin(end, IniDocument::MaxValueLength));
}

void SaveStr(const QString &Rubrique, const QString &Titre, const QString &Valeur,
             const QString &Fichier)
{
    const QString fileName = profilePath(Fichier);
    if (fileName.isEmpty())
        throwWriteError(fileName);

    // The new file is built from the present one; one that exists but cannot be read
    // would otherwise be replaced by a file holding only this entry.
    QByteArray present;
    QFile current(fileName);
    if (current.exists()) {
        if (!current.open(QIODevice::ReadOnly))
            throwWriteError(fileName);
        present = current.readAll();
        if (current.error() != QFileDevice::NoError)
            throwWriteError(fileName);
        current.close();
    }
    IniDocument document(present);
    document.setValue(Rubrique, Titre, Valeur);
    const QByteArray data = document.data();

    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        throwWriteError(fileName);
    // commit() may report success after its own final flush failed; flush first.
    if (file.write(data) != data.size() || !file.flush()) {
        file.cancelWriting();
        throwWriteError(fileName);
    }
    if (!file.commit())
        throwWriteError(fileName);
}

qint32 GetInt(const QString &Rubrique, const QString &Titre, qint32 Valeur_Defaut,
              const QString &Fichier)
{
    qint32 value = Valeur_Defaut;
    integerFromText(GetStr(Rubrique, Titre, QString(), Fichier), &value);
    return value;
}

void SaveInt(const QString &Rubrique, const QString &Titre, qint32 Valeur, const QString &Fichier)
{
    SaveStr(Rubrique, Titre, QString::number(Valeur), Fichier);
}

bool GetBool(const QString &Rubrique, const QString &Titre, bool Valeur_Defaut,
             const QString &Fichier)
{
    return GetInt(Rubrique, Titre, Valeur_Defaut ? 1 : 0, Fichier) != 0;
}

void SaveBool(const QString &Rubrique, const QString &Titre, bool Valeur, const QString &Fichier)
{
    SaveStr(Rubrique, Titre, Valeur ? QStringLiteral("1") : QStringLiteral("0"), Fichier);
}

QString ExeName(bool EnMajuscules)
{
    return exeNameFromPath(executablePath(), EnMajuscules);
}

QString exeNameFromPath(const QString &executablePath, bool EnMajuscules)
{
    const QString name = withoutExtension(fileNameOf(executablePath));
    return EnMajuscules ? asciiUpper(name) : name;
}

QString App_Version()
{
#ifdef ADRELIO_FILE_VERSION
    return versionText(QString::fromLatin1(ADRELIO_FILE_VERSION));
#else
    return versionText(QStringView());
#endif
}

QString versionText(QStringView builtVersion)
{
    // Like a file version block: four 16-bit numbers, the missing ones 0.
    const QList<QStringView> parts = builtVersion.split(u'.');
    bool valid = !builtVersion.isEmpty() && parts.size() <= 4;
    QStringList numbers;
    for (qsizetype i = 0; valid && i < 4; ++i) {
        const ushort number = i < parts.size() ? parts[i].toUShort(&valid) : 0;
        numbers.append(QString::number(number));
    }
    if (!valid)
        throw AdrelioError(QStringLiteral("Les informations de version de sont pas incluses"));
    return numbers.join(u'.');
}

QString App_DATE()
{
    return fileDateText(executablePath());
}

QString fileDateText(const QString &path)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists() || info.isDir())
        return QString();
    return info.lastModified().toString(QStringLiteral("dd-MM-yy"));
}

QString App_Caption(const QString &chaine)
{
    return captionFromPath(executablePath(), chaine);
}

QString captionFromPath(const QString &executablePath, const QString &chaine)
{
    const QString baseName = exeNameFromPath(executablePath, true);
    const QString version = App_Version();
    const QString date = fileDateText(executablePath);
    return fillFormat(u"%s %s | Orvalin ***{:- %s | %s", { baseName, version, chaine, date });
}

QString applicationTitle()
{
    return applicationTitleFromPath(executablePath());
}

QString applicationTitleFromPath(const QString &executablePath)
{
    QString name = fileNameOf(executablePath);
    const qsizetype dot = name.indexOf(u'.');
    if (dot >= 0)
        name.truncate(dot);
    return name.left(1) + name.mid(1).toLower();
}

TarrayOfString Split(const QString &chaine, const QString &separateur)
{
    TarrayOfString parts;
    qsizetype from = 0;
    if (!separateur.isEmpty()) {
        for (qsizetype at = chaine.indexOf(separateur); at >= 0;
             at = chaine.indexOf(separateur, from)) {
            parts.append(chaine.mid(from, at - from));
            from = at + separateur.size();
        }
    }
    if (from < chaine.size())
        parts.append(chaine.mid(from));
    return parts;
}

QString fillFormat(QStringView format, std::initializer_list<QStringView> values)
{
    QString text;
    auto value = values.begin();
    qsizetype from = 0;
    for (qsizetype at = format.indexOf(u"%s"); at >= 0 && value != values.end();
         at = format.indexOf(u"%s", from)) {
        text += format.sliced(from, at - from);
        text += *value++;
        from = at + 2;
    }
    text += format.sliced(from);
    return text;
}
