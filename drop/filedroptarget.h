#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QStringList>
#include <QWidget>

QT_BEGIN_NAMESPACE
class QDropEvent;
class QMimeData;
QT_END_NAMESPACE

// The drop target of the text area: local files dropped on it are reported by
// filesDropped() and never reach the area, which would otherwise insert their names as
// text. Other drags, such as plain text, are left to the area. A move proposed by the
// source is never accepted, since the source would then delete the files.
//
// Drag events reach a scroll area through its viewport, so the target watches both the
// widget and its viewport, ahead of the widget's own handling.
class FileDropTarget : public QObject
{
    Q_OBJECT

public:
    explicit FileDropTarget(QObject *parent = nullptr);

    QWidget *target() const { return m_target; }
    void setTarget(QWidget *target);

    bool eventFilter(QObject *watched, QEvent *event) override;

signals:
    // The full local paths, in the order they were delivered; pos is in the client
    // coordinates of the target (its viewport for a scroll area).
    void filesDropped(const QStringList &files, QPoint pos);

private:
    void hook();
    void unhook();
    QWidget *clientArea() const;
    static bool carriesLocalFiles(const QMimeData *mimeData);
    static bool acceptAsCopy(QDropEvent *event);
    bool filterDrag(QObject *watched, QEvent *event);
    void receiveDrop(QObject *watched, QDropEvent *event);

    QPointer<QWidget> m_target;
    QPointer<QWidget> m_hookedViewport;
};
