#include "app/imagelist.h"

ImageList::ImageList(QObject *parent)
    : QObject(parent)
{
    for (const char *name : { "exit", "copy", "clipboard", "floppy" })
        m_pixmaps.append(QPixmap(QStringLiteral(":/icons/%1.png").arg(QLatin1String(name))));
}
