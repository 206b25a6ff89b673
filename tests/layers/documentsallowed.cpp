// Built by tst_layers with the include folders of the documents' readers: their own
// headers and those of the working list below them are found.
#include "documents/documentreader.h"
#include "worklist/textfile.h"
