#pragma once

#include <QStringList>

// Gives every caption of a menu an access key, the way the context menu prepares itself
// for display. Keys marked with "&" are reserved first, from top to bottom; a caption
// whose marked key is already taken loses its mark. Then each caption without a mark
// gets the first of its characters whose upper-case form is a digit or a letter A-Z and
// is still free. Captions are given in menu order, visible non-separator entries only.
QStringList withAccessKeys(const QStringList &captions);
