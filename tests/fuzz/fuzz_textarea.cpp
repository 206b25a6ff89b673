// The text area against a plain reference (see tests/textarea/editdriver.h): the input's
// first byte sets the length of the pieces that long lines are laid out in, every
// further byte starts an operation and the bytes after it are its arguments. Runs on an
// offscreen QApplication.
#include "fuzzsupport.h"

#include "textarea/editdriver.h"
#include "textarea/listedit.h"

#include <QApplication>

#include <cstddef>
#include <cstdint>

// fontconfig loses a few hundred bytes when it first loads its configuration; only
// leaks of the system's own libraries are passed over.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int qtArgc = 1;
    static char *qtArgv[] = { (*argv)[0], nullptr };
    Q_UNUSED(argc);
    // Never destroyed: at exit Qt's own globals may be gone before a static application.
    static QApplication *application = new QApplication(qtArgc, qtArgv);
    Q_UNUSED(application);
    // Fonts and the clipboard are set up once here rather than inside the first input.
    ListEdit warmUp;
    warmUp.show();
    warmUp.setLoadedText(QStringLiteral("a b\n\U0001F600\u4E2D"));
    warmUp.viewport()->repaint();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    RowCache::setPieceLength(8 + data[0] % 120);
    QWidget window;
    window.resize(420, 320);
    auto *edit = new ListEdit(&window);
    edit->setGeometry(0, 0, 200, 140);
    window.show();
    EditDriver driver(edit);
    QString why;
    const bool held = driver.run(QByteArrayView(data + 1, qsizetype(size - 1)), &why);
    if (!held)
        std::fprintf(stderr, "step %lld: %s\n", qlonglong(driver.steps()), qPrintable(why));
    require(held, "the area matches the reference after every step");
    return 0;
}
