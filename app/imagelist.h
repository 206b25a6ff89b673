#pragma once

#include <QIcon>
#include <QList>
#include <QObject>
#include <QPixmap>

// The window's 16x16 images for its menu and actions. Each has a mask: pixels outside it
// are fully transparent and show the menu's background.
class ImageList : public QObject
{
    Q_OBJECT

public:
    enum Image { Exit, Copy, Clipboard, Floppy };

    explicit ImageList(QObject *parent = nullptr);

    int count() const { return m_pixmaps.size(); }
    QPixmap pixmap(int index) const { return m_pixmaps.value(index); }
    QIcon icon(int index) const { return QIcon(pixmap(index)); }

private:
    QList<QPixmap> m_pixmaps;
};
