#include "base/fileerrors.h"

#include <QDir>
#include <QFileInfo>

#include <cstring>

namespace {

QString fileMessage(const char *format, const QString &fileName, int errnum)
{
    return QString::fromUtf8(format).arg(fullPath(fileName), systemErrorText(errnum));
}

} // namespace

QString fullPath(const QString &fileName)
{
    return QDir::cleanPath(QFileInfo(fileName).absoluteFilePath());
}

QString systemErrorText(int errnum)
{
    char buffer[512];
    QString text = QString::fromLocal8Bit(::strerror_r(errnum, buffer, sizeof buffer));
    while (!text.isEmpty()) {
        const QChar last = text.back();
        if (!last.isSpace() && last.category() != QChar::Other_Control && last != u'.')
            break;
        text.chop(1);
    }
    return text;
}

QString openErrorMessage(const QString &fileName, int errnum)
{
    return fileMessage("Impossible d'ouvrir le fichier \"%1\". %2", fileName, errnum);
}

QString createErrorMessage(const QString &fileName, int errnum)
{
    return fileMessage("Impossible de créer le fichier \"%1\". %2", fileName, errnum);
}

QString readErrorMessage(const QString &fileName, int errnum)
{
    return fileMessage("Impossible de lire le fichier \"%1\". %2", fileName, errnum);
}

QString writeErrorMessage()
{
    return QStringLiteral("Erreur d'écriture dans le flux");
}
