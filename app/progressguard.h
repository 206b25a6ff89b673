#pragma once

#include "base/progress.h"

#include <QElapsedTimer>
#include <QString>

QT_BEGIN_NAMESPACE
class QProgressDialog;
class QWidget;
QT_END_NAMESPACE

// Keeps the user informed during one long operation of the window, for as long as it
// lives: the wait cursor at once, and once the operation has run for about a second, a
// modal progress dialog whose "Annuler" button cancels it. Each step of the operation
// reports through the callback that step() gives, which returns false once the user
// cancelled.
class ProgressGuard
{
public:
    // The dialog is modal to window.
    explicit ProgressGuard(QWidget *window);
    ~ProgressGuard();
    ProgressGuard(const ProgressGuard &) = delete;
    ProgressGuard &operator=(const ProgressGuard &) = delete;

    Progress step(const QString &label);

    // Whether an operation is running. Its dialog lets events through, so a queued call
    // may come while it runs.
    static bool active();

    // How long an operation runs before the dialog is shown; tests set 0.
    static void setShowDelay(int milliseconds);

private:
    bool report(const QString &label, qint64 done, qint64 total);
    void showDialog(const QString &label);

    QWidget *m_window;
    QElapsedTimer m_clock;
    QProgressDialog *m_dialog = nullptr;
};
