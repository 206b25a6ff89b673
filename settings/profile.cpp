#include "settings/profile.h"

#include "base/adrelioerror.h"
#include "base/fileerrors.h"
#include "base/fillformat.h"
#include "settings/identity.h"
#include "settings/inidocument.h"
#include "settings/integertext.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Nothing when the file cannot be read, or is not a regular file: a FIFO would keep the
// open waiting for a writer, a device such as /dev/zero would be read without end, and a
// folder holds no entries.
std::optional<QByteArray> fileContent(const QString &fileName)
{
    const QByteArray path = QFile::encodeName(fileName);
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return std::nullopt;
    }
    struct stat status;
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))
        return std::nullopt;
    QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return content;
}

// The entries that a profile holds now: those of its own file once that exists, nothing
// when it cannot be read; before, those of its defaults, or none.
std::optional<QByteArray> presentContent(const QString &fileName, const QString &defaultsFileName)
{
    if (QFile::exists(fileName))
        return fileContent(fileName);
    if (defaultsFileName.isEmpty())
        return QByteArray();
    return fileContent(defaultsFileName).value_or(QByteArray());
}

// A missing folder is created with the folders above it, for its user only, as the XDG
// base directory rules ask of settings folders.
bool createFolder(const QString &folder)
{
    const QFileInfo info(folder);
    if (info.isDir())
        return true;
    const QString parent = info.path();
    return parent != folder && createFolder(parent)
            && (QDir().mkdir(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)
                || QFileInfo(folder).isDir());
}

[[noreturn]] void throwWriteError(const QString &fileName)
{
    throw AdrelioError(fillFormat(u"Impossible d'écrire dans %s", { fullPath(fileName) }));
}

} // namespace

Profile::Profile()
    : Profile(forExecutable(ProgramIdentity::runningExecutable(), userConfigFolder()))
{
}

Profile::Profile(const QString &fileName, const QString &defaultsFileName)
    : m_fileName(fileName)
    , m_defaultsFileName(defaultsFileName)
{
}

Profile Profile::forExecutable(const QString &executablePath, const QString &configFolder)
{
    if (executablePath.isEmpty())
        return Profile(QString());
    const QString folder = executablePath.left(executablePath.lastIndexOf(u'/') + 1);
    const QString name = ProgramIdentity(executablePath).baseName() + QLatin1String(".INI");
    if (QFileInfo(QFileInfo(executablePath).absolutePath()).isWritable())
        return Profile(folder + name);
    return Profile(configFolder + u'/' + name, folder + name);
}

// Not the application's own config folder: its name is the program's title, which follows
// the executable's name.
QString Profile::userConfigFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
            + QLatin1String("/Adrelio");
}

QString Profile::value(const QString &section, const QString &key,
                       const QString &defaultValue) const
{
    if (const auto present = presentContent(m_fileName, m_defaultsFileName)) {
        if (const auto stored = IniDocument(*present).value(section, key))
            return *stored;
    }
    qsizetype end = defaultValue.size();
    while (end > 0 && (defaultValue[end - 1] == u' ' || defaultValue[end - 1] == u'\t'))
        --end;
    return defaultValue.left(qMin(end, IniDocument::MaxValueLength));
}

void Profile::setValue(const QString &section, const QString &key, const QString &value)
{
    // The new file is built from the present entries; a profile that exists but cannot be
    // read would otherwise be replaced by a file holding only this entry.
    const std::optional<QByteArray> present = presentContent(m_fileName, m_defaultsFileName);
    if (m_fileName.isEmpty() || !present)
        throwWriteError(m_fileName);
    IniDocument document(*present);
    document.setValue(section, key, value);
    const QByteArray data = document.data();

    if (!createFolder(QFileInfo(m_fileName).path()))
        throwWriteError(m_fileName);
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

bool Profile::canHold(QStringView value)
{
    return !value.contains(u'\n') && !value.contains(u'\r') && !value.contains(QChar(0));
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
