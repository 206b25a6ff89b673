#include "app/progressguard.h"

#include "settings/identity.h"
#include "textarea/listedit.h"

#include <QApplication>
#include <QProgressDialog>
#include <QPushButton>
#include <QThread>
#include <QWindow>

namespace {

int showDelay = 1000;
int running = 0;

// The area takes text at roughly this many units a second; a text of this size keeps it
// busy for about a second.
constexpr qsizetype largeText = 8 * 1024 * 1024;

constexpr int steps = 1000;

constexpr int mapTimeout = 500;

} // namespace

ProgressGuard::ProgressGuard(ListEdit *listEdit)
    : m_listEdit(listEdit)
{
    ++running;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_clock.start();
    m_replacing = QObject::connect(listEdit, &ListEdit::replacingText,
                                   [this](qsizetype size) { lastStep(size); });
}

ProgressGuard::~ProgressGuard()
{
    QObject::disconnect(m_replacing);
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

void ProgressGuard::lastStep(qsizetype size)
{
    if (!m_dialog) {
        if (m_clock.elapsed() < showDelay && size < largeText)
            return;
        showDialog(QString());
    }
    m_dialog->setLabelText(QStringLiteral("Affichage du texte…"));
    m_dialog->setRange(0, 0);
    m_cancel->setEnabled(false);
    paintDialog();
}

// The program takes no events until the area has its text, so the dialog is painted now.
// A window that was just shown can be painted once the display has mapped it, which takes
// a moment; the wait for it is bounded.
void ProgressGuard::paintDialog()
{
    QElapsedTimer waited;
    waited.start();
    const QWindow *window = m_dialog->windowHandle();
    while (window && !window->isExposed() && waited.elapsed() < mapTimeout) {
        QCoreApplication::processEvents();
        QThread::msleep(5);
    }
    // The second pass sends out what the first one painted.
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

void ProgressGuard::showDialog(const QString &label)
{
    m_dialog = new QProgressDialog(label, QString(), 0, steps, m_listEdit->window());
    m_dialog->setObjectName(QStringLiteral("ProgressDialog"));
    m_dialog->setWindowTitle(ProgramIdentity().title());
    m_dialog->setWindowModality(Qt::WindowModal);
    m_dialog->setAutoReset(false);
    m_dialog->setAutoClose(false);
    m_dialog->setMinimumDuration(0);
    m_cancel = new QPushButton(QStringLiteral("Annuler"));
    m_dialog->setCancelButton(m_cancel);
    m_dialog->show();
    QCoreApplication::processEvents();
}
