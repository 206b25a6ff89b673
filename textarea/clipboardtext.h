#pragma once

#include <QByteArray>
#include <QMimeData>
#include <QStringList>

// Text handed to the clipboard or the X11 selection, encoded once as UTF-8 when the copy
// is made, inside the command that makes it. Another program that reads it (xclip -o)
// asks Qt's platform layer for "text/plain" (the X11 types UTF8_STRING included) or
// "text/plain;charset=utf-8", and is given these bytes as they are: nothing is converted
// or allocated in that answer, which runs in Qt's own event handling, where memory that
// has run out would end the program. Only this program's own paste asks for the text
// itself, which is decoded then.
class ClipboardText : public QMimeData
{
    Q_OBJECT

public:
    explicit ClipboardText(QByteArray utf8);

    bool hasFormat(const QString &mimeType) const override;
    QStringList formats() const override;

protected:
    QVariant retrieveData(const QString &mimeType, QMetaType type) const override;

private:
    QByteArray m_utf8;
    QStringList m_formats;
};
