#pragma once

#include <QStringList>
#include <QStringView>

// Cuts one line into its fields. Fields are separated by blanks (units 1 to 32), by the
// delimiter "," or by both; a field that begins with a quotation mark runs to the next
// lone quotation mark and may hold blanks and delimiters, a doubled quotation mark inside
// it standing for one. Only the part of the line before its first U+0000 counts. fields is
// emptied first.
void splitFields(QStringView line, QStringList &fields);
