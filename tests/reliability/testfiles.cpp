#include "testfiles.h"

#include "support/plainpaths.h"
#include "support/testsupport.h"

#include <QDir>
#include <QRandomGenerator>

QString openErrorBoxText(const QString &fileName, int errnum)
{
    return openErrorText(fileName, errnum) + u'.';
}

QString createErrorBoxText(const QString &fileName, int errnum)
{
    return createErrorText(fileName, errnum) + u'.';
}

QStringList folderEntries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
}

QByteArray randomBytes(qsizetype size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(seed);
    for (char &byte : bytes)
        byte = char(generator.bounded(256));
    return bytes;
}

QString loadedText(const QByteArray &bytes)
{
    if (QByteArrayView(bytes).isValidUtf8())
        return withConvertedBreaks(QString::fromUtf8(bytes));
    return withConvertedBreaks(mixedTextReference(bytes));
}
