// The text area against a plain reference (see tests/textarea/editdriver.h): the input's
// first byte sets the length of the pieces that long lines are laid out in and, when its
// top bit is set, brings islands (rows laid out far ahead) within a few hundred units;
// every further byte starts an operation and the bytes after it are its arguments. Runs
// on an offscreen QApplication.
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

extern "C" const char *__lsan_default_options()
{
    return "print_suppressions=0";
}

static QWidget *window = nullptr;

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int qtArgc = 1;
    static char *qtArgv[] = { (*argv)[0], nullptr };
    Q_UNUSED(argc);
    // Never destroyed: at exit Qt's own globals may be gone before a static application.
    static QApplication *application = new QApplication(qtArgc, qtArgv);
    Q_UNUSED(application);
    // One window holds the area of every input; fonts are set up here rather than inside
    // the first input.
    window = new QWidget;
    window->resize(420, 320);
    window->show();
    ListEdit warmUp(window);
    warmUp.setLoadedText(QStringLiteral("a b\n\U0001F600\u4E2D"));
    warmUp.show();
    warmUp.viewport()->repaint();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    RowCache::setPieceLength(8 + data[0] % 120);
    RowCache::setFarDistance(data[0] & 0x80 ? 16 + data[0] % 200 : 256 * 1024);
    QString why;
    qsizetype steps = 0;
    bool held = false;
    {
        ListEdit edit(window);
        edit.setGeometry(0, 0, 200, 140);
        edit.show();
        edit.setFocus();
        EditDriver driver(&edit);
        held = driver.run(QByteArrayView(data + 1, qsizetype(size - 1)), &why);
        steps = driver.steps();
    }
    // What the area left for deletion goes now, as the event loop would do it.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    if (!held)
        std::fprintf(stderr, "step %lld: %s\n", qlonglong(steps), qPrintable(why));
    require(held, "the area matches the reference after every step");
    return 0;
}
