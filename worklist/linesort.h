#pragma once

#include "base/progress.h"

#include <QList>
#include <QStringList>
#include <QStringView>

#include <vector>

// Sorts lines in the user's linguistic order with case ignored. Lines that differ only in
// case compare equal and end where the quicksort leaves them, so their order is part of
// the result. Cancelling through progress leaves the lines untouched.
void sortLines(QStringList &lines, const Progress &progress = {});

// The order sortLines() puts lines in: for each place of the sorted list, the index of the
// line that goes there.
std::vector<qsizetype> sortedOrder(const QList<QStringView> &lines, const Progress &progress = {});
