#pragma once

#include "worklist/textbuffer.h"

#include <QTest>

// A TextPosition in test data and in the messages of failed comparisons, as line:column.
Q_DECLARE_METATYPE(TextPosition)

namespace QTest {
template<>
inline char *toString(const TextPosition &position)
{
    return qstrdup(QByteArray::number(position.line) + ':' + QByteArray::number(position.column));
}
} // namespace QTest
