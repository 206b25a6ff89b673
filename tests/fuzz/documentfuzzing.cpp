// The document readers read a PDF in this executable run again (PdfProcess): libFuzzer
// hands its arguments here before it reads them, so that the child reads the PDF instead
// of fuzzing.
#include "documents/pdfprocess.h"

#include <cstdlib>
#include <optional>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    if (const std::optional<int> status = PdfProcess::runChild(*argc, *argv))
        std::exit(*status);
    return 0;
}
