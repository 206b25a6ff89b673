// Built by tst_layers with the include folders of the working list only: the window is a
// higher layer, so its header must not be found.
#include "app/mainwindow.h"
