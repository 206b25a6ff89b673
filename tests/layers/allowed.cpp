// Built by tst_layers with the include folders of the working list: its own headers and
// those of the base it links are found.
#include "base/progress.h"
#include "worklist/textfile.h"
