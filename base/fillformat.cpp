#include "base/fillformat.h"

QString fillFormat(QStringView format, std::initializer_list<QStringView> values)
{
    QString text;
    auto value = values.begin();
    qsizetype from = 0;
    for (qsizetype at = format.indexOf(u"%s"); at >= 0 && value != values.end();
         at = format.indexOf(u"%s", from)) {
        text += format.sliced(from, at - from);
        text += *value++;
        from = at + 2;
    }
    text += format.sliced(from);
    return text;
}
