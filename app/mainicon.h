#pragma once

#include <QIcon>

// The program's main icon, MAINICON: the window and its taskbar entry show it.
QIcon mainIcon();
