#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

// A copy of the reliability probe in a folder of the test's choosing, so that the probe's
// profile (its own name with ".INI") lies in that folder. A run whose outcome rests on
// permissions is unprivileged: root passes every permission, so the tests then run the
// probe as the user nobody, for whom permissions hold as they hold for any user; any
// other user runs it as itself.
class ProbeCopy
{
public:
    explicit ProbeCopy(const QString &folder);

    bool isValid() const { return !m_program.isEmpty(); }
    QString profile() const;

    // The lines the probe printed for its start-up and for each step. Empty when it could
    // not run or failed; error() then says why.
    QList<QJsonObject> run(const QStringList &steps, bool unprivileged = false);
    QString error() const { return m_error; }

    // Whether an unprivileged run can take place; when it cannot, why not.
    static bool canRunUnprivileged(QString *why);

private:
    QString m_program;
    QString m_error;
};
