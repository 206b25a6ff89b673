#include "worklist/textfile.h"

#include "worklist/adrelioerror.h"

RawTextFile readTextFile(const QString &fileName, TEncoding defaultEncoding,
                         const Progress &progress)
{
    Q_UNUSED(fileName);
    Q_UNUSED(progress);
    return RawTextFile{QByteArray(), defaultEncoding, 0};
}

RawTextFile rawTextFromBytes(QByteArray bytes, TEncoding defaultEncoding)
{
    return RawTextFile{std::move(bytes), defaultEncoding, 0};
}

QString decodeText(const RawTextFile &file, const Progress &progress)
{
    Q_UNUSED(progress);
    return QString::fromUtf8(file.bytes.mid(file.bodyStart));
}

void writeTextFile(const QString &fileName, QStringView text, TEncoding encoding,
                   bool writeBom, const Progress &progress)
{
    Q_UNUSED(fileName);
    Q_UNUSED(text);
    Q_UNUSED(encoding);
    Q_UNUSED(writeBom);
    Q_UNUSED(progress);
}

QString fullPath(const QString &fileName)
{
    return fileName;
}

QString systemErrorText(int errnum)
{
    return QString::number(errnum);
}

QString openErrorMessage(const QString &fileName, int errnum)
{
    return QStringLiteral("Impossible d'ouvrir le fichier \"%1\". %2")
            .arg(fullPath(fileName), systemErrorText(errnum));
}

QString createErrorMessage(const QString &fileName, int errnum)
{
    return QStringLiteral("Impossible de créer le fichier \"%1\". %2")
            .arg(fullPath(fileName), systemErrorText(errnum));
}

QString readErrorMessage(const QString &fileName, int errnum)
{
    return QStringLiteral("Impossible de lire le fichier \"%1\". %2")
            .arg(fullPath(fileName), systemErrorText(errnum));
}

QString writeErrorMessage()
{
    return QStringLiteral("Erreur d'écriture dans le flux");
}
