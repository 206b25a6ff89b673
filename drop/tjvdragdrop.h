#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QStringList>
#include <QWidget>

class QDropEvent;
class QMimeData;

// The drop target of the text area: files dropped on it are reported through OnDrop and
// never reach the area, which would otherwise insert their names as text. Other drags,
// such as plain text, are left to the area.
//
// Drag events reach a scroll area through its viewport, so the component watches both
// the target and its viewport, ahead of the target's own handling.
class TJvDragDrop : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QWidget *DropTarget READ DropTarget WRITE SetDropTarget)
    Q_PROPERTY(bool AcceptDrag READ AcceptDrag WRITE SetAcceptDrag)

public:
    explicit TJvDragDrop(QObject *parent = nullptr);

    QWidget *DropTarget() const { return m_target; }
    void SetDropTarget(QWidget *target);
    bool AcceptDrag() const { return m_acceptDrag; }
    void SetAcceptDrag(bool accept);

    // The full local paths of the last drop, in the order they were delivered.
    QStringList Files() const { return m_files; }

    bool eventFilter(QObject *watched, QEvent *event) override;

signals:
    // pos is in the client coordinates of the target (its viewport for a scroll area).
    void OnDrop(TJvDragDrop *sender, QPoint pos, const QStringList &files);

private:
    void hook();
    void unhook();
    QWidget *clientArea() const;
    static bool carriesLocalFiles(const QMimeData *mimeData);
    static bool acceptAsCopy(QDropEvent *event);
    void receiveDrop(QObject *watched, QDropEvent *event);

    QPointer<QWidget> m_target;
    QPointer<QWidget> m_hookedViewport;
    bool m_acceptDrag = true;
    QStringList m_files;
};
