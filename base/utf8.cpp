#include "base/utf8.h"

#include <QStringDecoder>

QString decodeUtf8(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless
                                   | QStringConverter::Flag::ConvertInitialBom);
    return decoder.decode(bytes);
}
