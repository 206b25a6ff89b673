#include "probecopy.h"

#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

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

bool ProbeCopy::canRunUnprivileged(QString *why)
{
    return geteuid() != 0 || nobodyAvailable(why);
}

QList<QJsonObject> ProbeCopy::run(const QStringList &steps, bool unprivileged)
{
    QList<QJsonObject> lines;
    if (!isValid())
        return lines;
    const bool asNobody = unprivileged && geteuid() == 0;
    const ProgramRun probe = asNobody ? runAsNobody(m_program, steps) : runProgram(m_program, steps);
    if (probe.exitCode != 0) {
        m_error = QStringLiteral("the probe failed (%1): %2%3")
                          .arg(probe.exitCode)
                          .arg(probe.error, QString::fromLocal8Bit(probe.errors));
        return lines;
    }
    const QList<QByteArray> output = probe.output.split('\n');
    for (const QByteArray &line : output) {
        if (!line.isEmpty())
            lines.append(QJsonDocument::fromJson(line).object());
    }
    return lines;
}
