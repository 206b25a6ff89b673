#include "settings/identity.h"

#include "base/adrelioerror.h"
#include "base/fillformat.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QStringList>

namespace {

QString fileNameOf(const QString &path)
{
    return path.mid(path.lastIndexOf(u'/') + 1);
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

ProgramIdentity::ProgramIdentity(const QString &executablePath)
    : m_executablePath(executablePath)
{
}

QString ProgramIdentity::runningExecutable()
{
    return QCoreApplication::instance() ? QCoreApplication::applicationFilePath() : QString();
}

// A leading "." belongs to the name of a hidden file, not to an extension.
QString ProgramIdentity::baseName() const
{
    const QString name = fileNameOf(m_executablePath);
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot > 0 ? name.left(dot) : name;
}

QString ProgramIdentity::baseNameInCapitals() const
{
    return asciiUpper(baseName());
}

QString ProgramIdentity::version() const
{
#ifdef ADRELIO_FILE_VERSION
    return versionFromBuild(QString::fromLatin1(ADRELIO_FILE_VERSION));
#else
    return versionFromBuild(QStringView());
#endif
}

QString ProgramIdentity::versionFromBuild(QStringView builtVersion)
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

QString ProgramIdentity::date() const
{
    const QFileInfo info(m_executablePath);
    if (m_executablePath.isEmpty() || !info.exists() || info.isDir())
        return QString();
    return info.lastModified().toString(QStringLiteral("dd-MM-yy"));
}

QString ProgramIdentity::caption(const QString &freeText) const
{
    const QString name = baseNameInCapitals();
    const QString versionText = version();
    return fillFormat(u"%s %s | Orvalin ***{:- %s | %s", { name, versionText, freeText, date() });
}

QString ProgramIdentity::title() const
{
    QString name = fileNameOf(m_executablePath);
    const qsizetype dot = name.indexOf(u'.');
    if (dot >= 0)
        name.truncate(dot);
    return name.left(1) + name.mid(1).toLower();
}
