#include "testfiles.h"

#include "support/plainpaths.h"
#include "support/testsupport.h"

#include <QDir>
#include <QStringDecoder>
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
    // UTF-8 where the bytes form a sequence, Windows-1252 elsewhere.
    QStringDecoder windows1252("windows-1252");
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless
                                | QStringConverter::Flag::ConvertInitialBom);
    QString text;
    for (qsizetype i = 0; i < bytes.size();) {
        qsizetype length = qMin<qsizetype>(4, bytes.size() - i);
        while (length > 1 && !QByteArrayView(bytes).sliced(i, length).isValidUtf8())
            --length;
        const QByteArrayView piece = QByteArrayView(bytes).sliced(i, length);
        text += length > 1 || uchar(bytes[i]) < 0x80 ? QString(utf8.decode(piece))
                                                      : QString(windows1252.decode(piece));
        i += length;
    }
    return withConvertedBreaks(text);
}
