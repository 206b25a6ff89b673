#include "app/progressguard.h"

#include "settings/identity.h"

#include <QApplication>
#include <QProgressDialog>
#include <QPushButton>

namespace {

int showDelay = 1000;
int running = 0;

constexpr int steps = 1000;

} // namespace

ProgressGuard::ProgressGuard(QWidget *window)
    : m_window(window)
{
    ++running;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_clock.start();
}

ProgressGuard::~ProgressGuard()
{
    delete m_dialog;
    QApplication::restoreOverrideCursor();
    --running;
}

bool ProgressGuard::active()
{
    return running > 0;
}

void ProgressGuard::setShowDelay(int milliseconds)
{
    showDelay = milliseconds;
}

Progress ProgressGuard::step(const QString &label)
{
    return [this, label](qint64 done, qint64 total) { return report(label, done, total); };
}

// Events are taken only while the dialog is up, which keeps the rest of the window from
// input: the user can reach nothing but its cancel button.
bool ProgressGuard::report(const QString &label, qint64 done, qint64 total)
{
    if (!m_dialog) {
        if (m_clock.elapsed() < showDelay)
            return true;
        showDialog(label);
    }
    if (m_dialog->labelText() != label)
        m_dialog->setLabelText(label);
    m_dialog->setValue(total > 0 ? int(done * steps / total) : 0);
    QCoreApplication::processEvents();
    return !m_dialog->wasCanceled();
}

void ProgressGuard::showDialog(const QString &label)
{
    m_dialog = new QProgressDialog(label, QString(), 0, steps, m_window);
    m_dialog->setObjectName(QStringLiteral("ProgressDialog"));
    m_dialog->setWindowTitle(ProgramIdentity().title());
    m_dialog->setWindowModality(Qt::WindowModal);
    m_dialog->setAutoReset(false);
    m_dialog->setAutoClose(false);
    m_dialog->setMinimumDuration(0);
    m_dialog->setCancelButton(new QPushButton(QStringLiteral("Annuler")));
    m_dialog->show();
    QCoreApplication::processEvents();
}
