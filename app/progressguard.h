#pragma once

#include "base/progress.h"

#include <QElapsedTimer>
#include <QMetaObject>
#include <QString>

class ListEdit;

QT_BEGIN_NAMESPACE
class QProgressDialog;
class QPushButton;
QT_END_NAMESPACE

// Keeps the user informed during one long operation of the window, for as long as it
// lives: the wait cursor at once, and once the operation has run for about a second, a
// modal progress dialog whose "Annuler" button cancels it. Each step of the operation
// reports through the callback that step() gives, which returns false once the user
// cancelled.
//
// Handing a whole new text to the text area is the last step of most operations, and it
// can neither report progress nor stop half-way. When the area is about to take a large
// text, the dialog is shown (if it is not up yet) with its cancel button disabled, and
// stays as it is, not repainted, until the text is in.
class ProgressGuard
{
public:
    explicit ProgressGuard(ListEdit *listEdit);
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
    void lastStep(qsizetype size);
    void showDialog(const QString &label);
    void paintDialog();

    ListEdit *m_listEdit;
    QMetaObject::Connection m_replacing;
    QElapsedTimer m_clock;
    QProgressDialog *m_dialog = nullptr;
    QPushButton *m_cancel = nullptr;
};
