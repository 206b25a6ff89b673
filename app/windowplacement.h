#pragma once

#include <QRect>

class Profile;

QT_BEGIN_NAMESPACE
class QWidget;
QT_END_NAMESPACE

// The window's placement and the check marks of its options, kept in the profile.

// Stores the window's outer frame as "left:top:width:height" in the section named after
// the executable, under the window's object name.
void savePlacement(QWidget *window, Profile &profile);

// Applies the stored placement field by field, keeping the window on the work area of the
// primary screen: a left beyond its width is pulled back, a negative top becomes 0 and an
// oversize width or height is cut. Without an entry the window's present placement goes
// through the same steps. A field that is not an integer throws AdrelioError
// "''%s'' n'est pas une valeur entière valide"; the fields before it stay applied.
void restorePlacement(QWidget *window, const Profile &profile);
void restorePlacement(QWidget *window, const Profile &profile, const QRect &workArea);

// Stores and restores the check mark of every action of the window whose object name
// contains "chk_", in the section "OPTIONS" under that name. A missing entry, or one that
// is not an integer, leaves the check mark as it is.
void saveOptions(QWidget *window, Profile &profile);
void restoreOptions(QWidget *window, const Profile &profile);
