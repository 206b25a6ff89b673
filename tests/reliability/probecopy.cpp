#include "probecopy.h"

#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

ProbeCopy::ProbeCopy(const QString &folder)
{
    const QString original = QStringLiteral(RELIABILITY_PROBE);
    const QString program = QDir(folder).filePath(QFileInfo(original).fileName());
    if (QFile::copy(original, program))
        m_program = program;
    else
        m_error = QStringLiteral("cannot copy the probe to %1").arg(folder);
    // An unprivileged run cannot make a config folder there. Root's runs, whose profile
    // lies beside the probe, leave only Qt's own settings, removed with the folder.
    const QFileDevice::Permissions readOnly(0x5555);
    if (m_ownHome.isValid() && QFile::setPermissions(m_ownHome.path(), readOnly))
        m_home = m_ownHome.path();
    else
        m_error = QStringLiteral("cannot make the probe's home");
}

QString ProbeCopy::profile() const
{
    return m_program + QStringLiteral(".INI");
}

QString ProbeCopy::userProfile() const
{
    return m_home + QStringLiteral("/.config/Adrelio/") + QFileInfo(m_program).fileName()
            + QStringLiteral(".INI");
}

QList<QJsonObject> ProbeCopy::run(const QStringList &steps, bool unprivileged)
{
    QList<QJsonObject> lines;
    if (!isValid())
        return lines;
    const QStringList environment{ QStringLiteral("HOME=") + m_home,
                                   QStringLiteral("XDG_CONFIG_HOME=") + m_home
                                           + QStringLiteral("/.config") };
    const ProgramRun probe = unprivileged
            ? runUnprivileged(m_program, steps, environment, m_timeLimitMs)
            : runProgram(m_program, steps, environment, m_timeLimitMs);
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
