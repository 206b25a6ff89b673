#include "support/testsupport.h"

#include "base/adrelioerror.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QStringDecoder>

#include <cstring>

#include <pwd.h>
#include <unistd.h>

namespace {

// Where runuser lies, also when root's PATH does not reach the system folders.
QString runuserPath()
{
    return QStandardPaths::findExecutable(QStringLiteral("runuser"),
                                          { QStringLiteral("/usr/sbin"), QStringLiteral("/sbin"),
                                            QStringLiteral("/usr/bin") });
}

} // namespace

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush())
        qFatal("cannot write %s: %s", qPrintable(path), qPrintable(file.errorString()));
}

QString writeFile(const QString &folder, const QString &name, const QByteArray &bytes)
{
    const QString path = QDir(folder).filePath(name);
    writeFile(path, bytes);
    return path;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArrayLiteral("(unreadable)");
    return file.readAll();
}

QString mixedTextReference(QByteArrayView bytes)
{
    QStringDecoder windows1252("windows-1252");
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless
                                | QStringConverter::Flag::ConvertInitialBom);
    QString text;
    for (qsizetype i = 0; i < bytes.size();) {
        qsizetype length = qMin<qsizetype>(4, bytes.size() - i);
        while (length > 1 && !bytes.sliced(i, length).isValidUtf8())
            --length;
        const QByteArrayView piece = bytes.sliced(i, length);
        text += length > 1 || uchar(bytes[i]) < 0x80 ? QString(utf8.decode(piece))
                                                      : QString(windows1252.decode(piece));
        i += length;
    }
    return text;
}

QString errorOf(const std::function<void()> &operation)
{
    try {
        operation();
    } catch (const AdrelioError &error) {
        return error.message();
    }
    return QString();
}

QString systemReason(int errnum)
{
    QString text = QString::fromLocal8Bit(std::strerror(errnum));
    while (text.endsWith(u'.') || text.endsWith(u' '))
        text.chop(1);
    return text;
}

QString openErrorText(const QString &fileName, int errnum)
{
    return QStringLiteral("Impossible d'ouvrir le fichier \"%1\". %2")
            .arg(fileName, systemReason(errnum));
}

QString createErrorText(const QString &fileName, int errnum)
{
    return QStringLiteral("Impossible de créer le fichier \"%1\". %2")
            .arg(fileName, systemReason(errnum));
}

bool addressSpaceCanBeLimited(QString *why)
{
#if defined(__SANITIZE_ADDRESS__)
    const bool sanitized = true;
#elif defined(__has_feature)
    const bool sanitized = __has_feature(address_sanitizer);
#else
    const bool sanitized = false;
#endif
    if (sanitized)
        *why = QStringLiteral("AddressSanitizer reserves terabytes of address space, so a "
                              "limit on it cannot stand for memory that runs out");
    return !sanitized;
}

bool nobodyAvailable(QString *why)
{
    if (geteuid() != 0) {
        *why = QStringLiteral("the tests do not run as root, so they cannot drop to nobody");
        return false;
    }
    if (!getpwnam("nobody")) {
        *why = QStringLiteral("there is no user nobody");
        return false;
    }
    if (runuserPath().isEmpty()) {
        *why = QStringLiteral("runuser is not installed");
        return false;
    }
    return true;
}

ProgramRun runProgram(const QString &program, const QStringList &arguments,
                      const QStringList &environment, int timeLimitMs)
{
    ProgramRun run;
    QProcess process;
    QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();
    for (const QString &entry : environment)
        variables.insert(entry.section(u'=', 0, 0), entry.section(u'=', 1));
    process.setProcessEnvironment(variables);
    process.start(program, arguments);
    if (!process.waitForFinished(timeLimitMs)) {
        run.error = QStringLiteral("%1 did not finish: %2").arg(program, process.errorString());
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.output = process.readAllStandardOutput();
    run.errors = process.readAllStandardError();
    if (process.exitStatus() == QProcess::NormalExit)
        run.exitCode = process.exitCode();
    else
        run.error = QStringLiteral("%1 crashed").arg(program);
    return run;
}

// runuser replaces HOME with nobody's own; env, which it starts, then sets the entries.
ProgramRun runAsNobody(const QString &program, const QStringList &arguments,
                       const QStringList &environment, int timeLimitMs)
{
    QStringList command{ QStringLiteral("-u"), QStringLiteral("nobody"), QStringLiteral("--") };
    if (!environment.isEmpty())
        command << QStandardPaths::findExecutable(QStringLiteral("env")) << environment;
    return runProgram(runuserPath(), command << program << arguments, {}, timeLimitMs);
}

bool canRunUnprivileged(QString *why)
{
    return geteuid() != 0 || nobodyAvailable(why);
}

ProgramRun runUnprivileged(const QString &program, const QStringList &arguments,
                           const QStringList &environment, int timeLimitMs)
{
    return geteuid() == 0 ? runAsNobody(program, arguments, environment, timeLimitMs)
                          : runProgram(program, arguments, environment, timeLimitMs);
}

bool giveToUnprivilegedUser(const QString &path)
{
    if (geteuid() != 0)
        return true;
    const passwd *nobody = getpwnam("nobody");
    return nobody
            && ::chown(QFile::encodeName(path).constData(), nobody->pw_uid, nobody->pw_gid) == 0;
}
