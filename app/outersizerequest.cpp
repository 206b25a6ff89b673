#include "app/outersizerequest.h"

#include "base/boundary.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace {

// How long a painted window may wait for its frame: far longer than a window manager
// takes to frame a window, even on a loaded machine.
constexpr int frameWait = 5000;

} // namespace

OuterSizeRequest::OuterSizeRequest(QWidget *window)
    : QObject(window), m_window(window)
{
    window->installEventFilter(this);
}

OuterSizeRequest *OuterSizeRequest::of(QWidget *window)
{
    auto *request = window->findChild<OuterSizeRequest *>(QString(), Qt::FindDirectChildrenOnly);
    return request ? request : new OuterSizeRequest(window);
}

void OuterSizeRequest::requestWidth(QWidget *window, int width)
{
    of(window)->m_width = width;
}

void OuterSizeRequest::requestHeight(QWidget *window, int height)
{
    of(window)->m_height = height;
}

// It watches paints too, where no box may open: an error is shown afterwards.
bool OuterSizeRequest::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_window)
        return false;
    switch (event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::Paint:
        break;
    default:
        return false;
    }
    guarded([this, event] { fit(event); }, reportErrorLater);
    return false;
}

void OuterSizeRequest::fit(const QEvent *event)
{
    const QSize frame = m_window->frameGeometry().size() - m_window->size();
    if (frame.isNull()) {
        if (event->type() == QEvent::Paint && !m_painted) {
            m_painted = true;
            QTimer::singleShot(frameWait, this, &OuterSizeRequest::finish);
        }
        return;
    }
    m_window->resize(m_width.value_or(m_window->frameGeometry().width()) - frame.width(),
                     m_height.value_or(m_window->frameGeometry().height()) - frame.height());
    finish();
}

void OuterSizeRequest::finish()
{
    m_window->removeEventFilter(this);
    deleteLater();
}
