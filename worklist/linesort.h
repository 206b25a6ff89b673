#pragma once

#include "base/progress.h"

#include <QStringList>

// Sorts lines in the user's linguistic order with case ignored. Lines that differ only in
// case compare equal and end where the quicksort leaves them, so their order is part of
// the result. Cancelling through progress leaves the lines untouched.
void sortLines(QStringList &lines, const Progress &progress = {});
