#include "testfiles.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <cstring>

QString systemReason(int errnum)
{
    QString text = QString::fromLocal8Bit(std::strerror(errnum));
    while (text.endsWith(u'.') || text.endsWith(u' '))
        text.chop(1);
    return text;
}

QString openErrorBoxText(const QString &fileName, int errnum)
{
    return QStringLiteral("Impossible d'ouvrir le fichier \"%1\". %2.")
            .arg(fileName, systemReason(errnum));
}

QString createErrorBoxText(const QString &fileName, int errnum)
{
    return QStringLiteral("Impossible de créer le fichier \"%1\". %2.")
            .arg(fileName, systemReason(errnum));
}

QString placeholderText()
{
    return QStringLiteral("Déposez ici un fichier contenat des adresses EMAIL\n");
}

QStringList folderEntries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
}

bool writeFile(const QString &fileName, const QByteArray &bytes)
{
    QFile file(fileName);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
            && file.write(bytes) == bytes.size() && file.flush();
}

QByteArray randomBytes(qsizetype size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(seed);
    for (char &byte : bytes)
        byte = char(generator.bounded(256));
    return bytes;
}

QByteArray fileBytes(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    QByteArray bytes = file.readAll();
    if (bytes.isNull())
        bytes = QByteArray("");
    return bytes;
}

QString loadedText(const QByteArray &bytes)
{
    QString text = QString::fromUtf8(bytes);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(u'\r', u'\n');
    text.replace(QChar(0), u' ');
    return text;
}
