// Built by tst_layers with the include folders of the documents' readers only: the
// extraction is no layer of theirs, so its header must not be found.
#include "extract/extraction.h"
