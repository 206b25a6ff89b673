#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

// A copy of the reliability probe in a folder of the test's choosing, so that the probe's
// profile (its own name with ".INI") lies in that folder. The probe can run as this user
// or, when the tests run as root, as the unprivileged user nobody, for whom permissions
// hold as they hold for any user.
class ProbeCopy
{
public:
    explicit ProbeCopy(const QString &folder);

    bool isValid() const { return !m_program.isEmpty(); }
    QString profile() const;

    // The lines the probe printed for its start-up and for each step. Empty when it could
    // not run or failed; error() then says why.
    QList<QJsonObject> run(const QStringList &steps, bool asNobody = false);
    QString error() const { return m_error; }

    // Whether run() can drop to nobody; when it cannot, why not.
    static bool canRunAsNobody(QString *reason);

private:
    QString m_program;
    QString m_error;
};
