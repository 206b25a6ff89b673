#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A copy of the reliability probe in a folder of the test's choosing, so that the probe's
// profile (its own name with ".INI") lies in that folder, or in its user's config folder
// when the folder cannot be written. Every run gets the home folder that setHome() gives,
// with its config folder below it, so that no run reads or writes the settings of the
// user who runs the tests. A run whose outcome rests on permissions is unprivileged (see
// runUnprivileged()).
class ProbeCopy
{
public:
    explicit ProbeCopy(const QString &folder);

    bool isValid() const { return !m_program.isEmpty(); }
    // The profile beside the probe, and the one in the config folder of the home.
    QString profile() const;
    QString userProfile() const;

    // By default an empty home of the probe's own that its runs may not write: a profile
    // that goes to the config folder cannot be written there.
    void setHome(const QString &home) { m_home = home; }
    // How long a run may take before it counts as hung and is ended; five minutes unless
    // said.
    void setTimeLimit(int milliseconds) { m_timeLimitMs = milliseconds; }

    // The lines the probe printed for its start-up and for each step. Empty when it could
    // not run or failed; error() then says why.
    QList<QJsonObject> run(const QStringList &steps, bool unprivileged = false);
    QString error() const { return m_error; }

private:
    QString m_program;
    QTemporaryDir m_ownHome;
    QString m_home;
    QString m_error;
    int m_timeLimitMs = 300000;
};
