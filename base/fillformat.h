#pragma once

#include <QString>
#include <QStringView>

#include <initializer_list>

// Fills each "%s" of format, in order, with the next value, taken as it is: unlike
// QString::arg(), a value that holds "%1" or "%s" stays as it is.
QString fillFormat(QStringView format, std::initializer_list<QStringView> values);
