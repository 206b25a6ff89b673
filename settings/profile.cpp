#include "settings/profile.h"

#include "base/adrelioerror.h"
#include "base/fileerrors.h"
#include "base/fillformat.h"
#include "settings/identity.h"
#include "settings/inidocument.h"
#include "settings/integertext.h"

#include <QFile>
#include <QSaveFile>

#include <optional>

namespace {

std::optional<QString> storedValue(const QString &fileName, const QString &section,
                                   const QString &key)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return IniDocument(file.readAll()).value(section, key);
}

[[noreturn]] void throwWriteError(const QString &fileName)
{
    throw AdrelioError(fillFormat(u"Impossible d'écrire dans %s", { fullPath(fileName) }));
}

} // namespace

Profile::Profile()
    : m_fileName(defaultFileName())
{
}

Profile::Profile(const QString &fileName)
    : m_fileName(fileName)
{
}

QString Profile::defaultFileName()
{
    return fileNameForExecutable(ProgramIdentity::runningExecutable());
}

QString Profile::fileNameForExecutable(const QString &executablePath)
{
    if (executablePath.isEmpty())
        return QString();
    const QString folder = executablePath.left(executablePath.lastIndexOf(u'/') + 1);
    return folder + ProgramIdentity(executablePath).baseName() + QLatin1String(".INI");
}

QString Profile::value(const QString &section, const QString &key,
                       const QString &defaultValue) const
{
    if (const auto stored = storedValue(m_fileName, section, key))
        return *stored;
    qsizetype end = defaultValue.size();
    while (end > 0 && (defaultValue[end - 1] == u' ' || defaultValue[end - 1] == u'\t'))
        --end;
    return defaultValue.left(qMin(end, IniDocument::MaxValueLength));
}

void Profile::setValue(const QString &section, const QString &key, const QString &value)
{
    if (m_fileName.isEmpty())
        throwWriteError(m_fileName);

    // The new file is built from the present one; one that exists but cannot be read
    // would otherwise be replaced by a file holding only this entry.
    QByteArray present;
    QFile current(m_fileName);
    if (current.exists()) {
        if (!current.open(QIODevice::ReadOnly))
            throwWriteError(m_fileName);
        present = current.readAll();
        if (current.error() != QFileDevice::NoError)
            throwWriteError(m_fileName);
        current.close();
    }
    IniDocument document(present);
    document.setValue(section, key, value);
    const QByteArray data = document.data();

    QSaveFile file(m_fileName);
    if (!file.open(QIODevice::WriteOnly))
        throwWriteError(m_fileName);
    // commit() may report success after its own final flush failed; flush first.
    if (file.write(data) != data.size() || !file.flush()) {
        file.cancelWriting();
        throwWriteError(m_fileName);
    }
    if (!file.commit())
        throwWriteError(m_fileName);
}

qint32 Profile::intValue(const QString &section, const QString &key, qint32 defaultValue) const
{
    qint32 number = defaultValue;
    integerFromText(value(section, key), &number);
    return number;
}

bool Profile::boolValue(const QString &section, const QString &key, bool defaultValue) const
{
    return intValue(section, key, defaultValue ? 1 : 0) != 0;
}

void Profile::setBoolValue(const QString &section, const QString &key, bool value)
{
    setValue(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}
