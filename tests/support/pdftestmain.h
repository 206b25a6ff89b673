#pragma once

#include "documents/pdfprocess.h"

#include <QTest>

#include <optional>

// The main() of a test that reads PDFs. DocumentReader reads a PDF in this executable run
// again (PdfProcess), so the child's arguments are handed over before anything else, as
// the program's main() does; otherwise it is QTEST_MAIN's, with Application the test's
// application class.
#define ADRELIO_PDF_TEST_MAIN(TestObject, Application) \
    int main(int argc, char *argv[]) \
    { \
        if (const std::optional<int> status = PdfProcess::runChild(argc, argv)) \
            return *status; \
        Application app(argc, argv); \
        app.setAttribute(Qt::AA_Use96Dpi, true); \
        TestObject test; \
        return QTest::qExec(&test, argc, argv); \
    }
