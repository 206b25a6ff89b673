#include "probecopy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>

#include <pwd.h>
#include <unistd.h>

ProbeCopy::ProbeCopy(const QString &folder)
{
    const QString original = QStringLiteral(RELIABILITY_PROBE);
    const QString program = QDir(folder).filePath(QFileInfo(original).fileName());
    if (QFile::copy(original, program))
        m_program = program;
    else
        m_error = QStringLiteral("cannot copy the probe to %1").arg(folder);
}

QString ProbeCopy::profile() const
{
    return m_program + QStringLiteral(".INI");
}

bool ProbeCopy::canRunAsNobody(QString *reason)
{
    if (geteuid() != 0) {
        *reason = QStringLiteral("the tests do not run as root, so they cannot drop to nobody");
        return false;
    }
    if (!getpwnam("nobody")) {
        *reason = QStringLiteral("there is no user nobody");
        return false;
    }
    if (QStandardPaths::findExecutable(QStringLiteral("runuser")).isEmpty()) {
        *reason = QStringLiteral("runuser is not installed");
        return false;
    }
    return true;
}

QList<QJsonObject> ProbeCopy::run(const QStringList &steps, bool asNobody)
{
    QList<QJsonObject> lines;
    if (!isValid())
        return lines;
    QProcess process;
    if (asNobody)
        process.start(QStringLiteral("runuser"),
                      QStringList{QStringLiteral("-u"), QStringLiteral("nobody"),
                                  QStringLiteral("--"), m_program}
                              + steps);
    else
        process.start(m_program, steps);
    if (!process.waitForFinished(300000)) {
        m_error = QStringLiteral("the probe did not finish: %1").arg(process.errorString());
        process.kill();
        process.waitForFinished();
        return lines;
    }
    const QByteArray errors = process.readAllStandardError();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        m_error = QStringLiteral("the probe failed (%1): %2")
                          .arg(process.exitCode())
                          .arg(QString::fromLocal8Bit(errors));
        return lines;
    }
    const QList<QByteArray> output = process.readAllStandardOutput().split('\n');
    for (const QByteArray &line : output) {
        if (!line.isEmpty())
            lines.append(QJsonDocument::fromJson(line).object());
    }
    return lines;
}
