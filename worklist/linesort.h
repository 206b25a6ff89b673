#pragma once

#include "base/progress.h"

#include <QList>
#include <QLocale>
#include <QStringList>
#include <QStringView>

#include <vector>

// Sorts lines in the user's linguistic order (sortLocale()) with case ignored. Lines that differ only in
// case compare equal and end where the quicksort leaves them, so their order is part of
// the result. Cancelling through progress leaves the lines untouched.
void sortLines(QStringList &lines, const Progress &progress = {});

// The order sortLines() puts lines in: for each place of the sorted list, the index of the
// line that goes there.
std::vector<qsizetype> sortedOrder(const QList<QStringView> &lines, const Progress &progress = {});

// The locale whose collation the sort follows: the user's, or the language-neutral root
// collation when the user's locale is C or POSIX (a program started from a bare
// environment), where accented letters sort with their base letter.
QLocale sortLocale();
