#pragma once

#include <QAbstractScrollArea>
#include <QCoreApplication>
#include <QDropEvent>
#include <QList>
#include <QMimeData>
#include <QStringList>
#include <QUrl>


// Drags and drops sent as the desktop sends them. Header only, so that the drop target's
// test, which links no window, can send drops.

struct DragAndDrop
{
    bool entered;
    bool dropped;
    Qt::DropAction action;
};

// A drag that enters receiver at pos, then its drop there.
inline DragAndDrop sendDragAndDrop(QWidget *receiver, QPoint pos, const QMimeData &mimeData,
                                   Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction)
{
    QDragEnterEvent enter(pos, actions, &mimeData, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(receiver, &enter);
    QDropEvent drop(QPointF(pos), actions, &mimeData, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(receiver, &drop);
    return { enter.isAccepted(), drop.isAccepted(), drop.dropAction() };
}

// Drops urls on the middle of a text area as a file manager does; true when the area took
// both the drag and the drop.
inline bool sendDrop(QAbstractScrollArea *area, const QList<QUrl> &urls)
{
    QMimeData mimeData;
    mimeData.setUrls(urls);
    QWidget *viewport = area->viewport();
    const DragAndDrop outcome = sendDragAndDrop(viewport, viewport->rect().center(), mimeData);
    return outcome.entered && outcome.dropped;
}
