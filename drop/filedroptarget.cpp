#include "drop/filedroptarget.h"

#include "base/boundary.h"

#include <QAbstractScrollArea>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include <algorithm>

FileDropTarget::FileDropTarget(QObject *parent)
    : QObject(parent)
{
}

void FileDropTarget::setTarget(QWidget *target)
{
    unhook();
    m_target = target;
    hook();
}

void FileDropTarget::hook()
{
    if (!m_target)
        return;
    m_target->setAcceptDrops(true);
    m_target->installEventFilter(this);
    // The filter installed last runs first, so this one comes before the scroll area's
    // own filter on its viewport.
    if (auto *area = qobject_cast<QAbstractScrollArea *>(m_target.data())) {
        m_hookedViewport = area->viewport();
        m_hookedViewport->setAcceptDrops(true);
        m_hookedViewport->installEventFilter(this);
    }
}

void FileDropTarget::unhook()
{
    if (m_hookedViewport)
        m_hookedViewport->removeEventFilter(this);
    if (m_target)
        m_target->removeEventFilter(this);
    m_hookedViewport = nullptr;
}

QWidget *FileDropTarget::clientArea() const
{
    return m_hookedViewport ? m_hookedViewport.data() : m_target.data();
}

bool FileDropTarget::carriesLocalFiles(const QMimeData *mimeData)
{
    if (!mimeData || !mimeData->hasUrls())
        return false;
    const QList<QUrl> urls = mimeData->urls();
    return std::any_of(urls.cbegin(), urls.cend(), [](const QUrl &url) { return url.isLocalFile(); });
}

bool FileDropTarget::acceptAsCopy(QDropEvent *event)
{
    const Qt::DropActions possible = event->possibleActions();
    if (possible & Qt::CopyAction)
        event->setDropAction(Qt::CopyAction);
    else if (possible & Qt::LinkAction)
        event->setDropAction(Qt::LinkAction);
    else
        return false;
    event->accept();
    return true;
}

// A drag or drop whose handling fails is taken, so that the area does not insert the
// files' names; the error is reported afterwards, since the source waits meanwhile.
bool FileDropTarget::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_target && watched != m_hookedViewport)
        return false;
    bool taken = true;
    guarded([&] { taken = filterDrag(watched, event); }, reportErrorLater);
    return taken;
}

bool FileDropTarget::filterDrag(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto *dragEvent = static_cast<QDropEvent *>(event);
        if (!carriesLocalFiles(dragEvent->mimeData()))
            return false;
        if (!acceptAsCopy(dragEvent))
            dragEvent->ignore();
        return true;
    }
    case QEvent::Drop: {
        auto *dropEvent = static_cast<QDropEvent *>(event);
        if (!carriesLocalFiles(dropEvent->mimeData()))
            return false;
        if (acceptAsCopy(dropEvent))
            receiveDrop(watched, dropEvent);
        else
            dropEvent->ignore();
        return true;
    }
    default:
        return false;
    }
}

void FileDropTarget::receiveDrop(QObject *watched, QDropEvent *event)
{
    QStringList files;
    const QList<QUrl> urls = event->mimeData()->urls();
    for (const QUrl &url : urls) {
        if (url.isLocalFile())
            files.append(url.toLocalFile());
    }
    const QPoint pos = event->position().toPoint();
    emit filesDropped(files, clientArea()->mapFrom(static_cast<QWidget *>(watched), pos));
}
