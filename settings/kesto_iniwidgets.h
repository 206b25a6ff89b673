#pragma once

#include <QRect>
#include <QString>

QT_BEGIN_NAMESPACE
class QWidget;
QT_END_NAMESPACE

// Window placement and option state kept in the profile file, and the plain message box.
// An empty Inifile means the default profile file.

// Stores the window's outer frame as "left:top:width:height" in the section named after
// the executable, under the window's object name.
void SavePosition(QWidget *F, const QString &Inifile);

// Applies the stored placement field by field, keeping the window on the work area of the
// primary screen: a left beyond its width is pulled back, a negative top becomes 0 and an
// oversize width or height is cut. A field that is not an integer raises AdrelioError
// "''%s'' n'est pas une valeur entière valide"; the fields before it stay applied.
void GetPosition(QWidget *F, const QString &Inifile);
void GetPosition(QWidget *F, const QString &Inifile, const QRect &workArea);

// Stores and restores the check mark of every action of the window whose object name
// contains "chk_", in the section "OPTIONS" under that name.
void SaveComponents(QWidget *form, const QString &Inifile);
void GetComponents(QWidget *form, const QString &Inifile);

// Shows s in a modal box captioned with the application title, without icon, with OK.
void sm(const QString &s);
