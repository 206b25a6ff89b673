#include "textarea/clipboardtext.h"

#include "base/utf8.h"

using namespace Qt::Literals::StringLiterals;

ClipboardText::ClipboardText(QByteArray utf8)
    : m_utf8(std::move(utf8))
    , m_formats{ u"text/plain"_s, u"text/plain;charset=utf-8"_s }
{
}

bool ClipboardText::hasFormat(const QString &mimeType) const
{
    return mimeType == "text/plain"_L1 || mimeType == "text/plain;charset=utf-8"_L1;
}

QStringList ClipboardText::formats() const
{
    return m_formats;
}

// The bytes for every question but one for a string, which the platform layer never asks;
// decodeUtf8() keeps a U+FEFF at the start, which QString::fromUtf8() would drop.
QVariant ClipboardText::retrieveData(const QString &mimeType, QMetaType type) const
{
    if (!hasFormat(mimeType))
        return QVariant();
    if (type.id() == QMetaType::QString)
        return decodeUtf8(m_utf8);
    return m_utf8;
}
