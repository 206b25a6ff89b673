#pragma once

#include "documents/documentsource.h"

#include <optional>

class DocumentText;

// A PDF read by PdfReader in a child process. pdfium, the engine of Qt's PDF module,
// loops forever on some damaged PDFs (a page tree that holds itself), and nothing can
// interrupt it inside the process; a child can be killed. The child is this program's
// own executable run again with a hidden first argument, which main() hands to
// runChild() before anything else. The file is named to the child, or its bytes (a PDF
// inside an archive, or piped in) go to the child's standard input; the child writes the
// pages' text as it reads them, and this side appends it to the DocumentText as it comes,
// so that the text's limits hold, and reports the pages read.
//
// While it waits, the reader reports the progress again every tenth of a second, so that
// a cancel is seen: the child is killed and OperationCancelled thrown. A child that writes
// nothing for the stall limit, that crashes or writes anything but its records gives
// DocumentFailure Damaged, one that finds a password asked for Protected; one that cannot
// be started SystemError. The child is killed and waited for on every way out.
class PdfProcess
{
public:
    PdfProcess(const DocumentSource &source, DocumentText &text);

    void read();

    // The child's side, for main() before it makes an application: when the arguments are
    // the child's, reads the PDF, writes its text to standard output and gives the status
    // to exit with; otherwise nothing.
    static std::optional<int> runChild(int argc, char *argv[]);

    // How long the child may write nothing before it is taken for stalled: 20 s unless
    // set; tests shorten it.
    static void setStallLimit(int milliseconds);

private:
    const DocumentSource &m_source;
    DocumentText &m_text;
};
