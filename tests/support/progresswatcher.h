#pragma once

#include <QApplication>
#include <QCursor>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>

// Watches the window's progress dialog (ProgressGuard) from a timer, which fires whenever
// the running operation lets events through, and clicks "Annuler" once the dialog shows
// the step cancelAt.
class ProgressWatcher : public QObject
{
public:
    explicit ProgressWatcher(const QString &cancelAt = QString())
        : m_cancelAt(cancelAt)
    {
        connect(&m_timer, &QTimer::timeout, this, &ProgressWatcher::look);
        m_timer.start(0);
    }

    // The labels the dialog showed, in order.
    QStringList states;
    // The dialog's caption, its cancel button's text and whether it was modal.
    QString dialog;
    bool waitCursor = true;
    bool cancelled = false;

private:
    void look()
    {
        QProgressDialog *progress = nullptr;
        const QList<QWidget *> windows = QApplication::topLevelWidgets();
        for (QWidget *window : windows) {
            if (auto *found = qobject_cast<QProgressDialog *>(window); found && found->isVisible())
                progress = found;
        }
        if (!progress)
            return;
        auto *button = progress->findChild<QPushButton *>();
        const QString state = progress->labelText();
        if (states.isEmpty() || states.constLast() != state)
            states.append(state);
        dialog = progress->windowTitle() + QLatin1Char('|') + button->text()
                + (progress->isModal() ? QStringLiteral("|modal") : QString());
        const QCursor *cursor = QApplication::overrideCursor();
        waitCursor = waitCursor && cursor && cursor->shape() == Qt::WaitCursor;
        if (state == m_cancelAt && !cancelled) {
            cancelled = true;
            button->click();
        }
    }

    QString m_cancelAt;
    QTimer m_timer;
};
