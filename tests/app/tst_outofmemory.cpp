// Memory that runs out in a command of the window or in the text area's own handling: the
// error box says « Mémoire insuffisante », the list is as it was before the step, and the
// next command works. The test caps its own address space (RLIMIT_AS) a little above what
// it takes at that moment, so that the step's large allocation fails as it does on a
// machine whose memory has run out. Each step needs an allocation far larger than the
// margin; the memory that an earlier case freed would stay mapped in the heap and could
// serve it, so each case runs in a process of its own (outofmemory.sh runs them so).
//
// On an X server the X11 selection takes part too, and another program, xclip, reads what
// the copies hold while the cap is on.
#include "support/testsupport.h"
#include "support/windowdriver.h"
#include "textarea/listedit.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

enum class Step {
    Paste,
    SelectAll,
    ExtendSelection,
    TypeInHugeField,
    UndoDeletion,
    MiddleClick,
};
Q_DECLARE_METATYPE(Step)

namespace {

// Far below what each step needs, far above what the window takes meanwhile.
constexpr qint64 margin = qint64(32) << 20;
constexpr qsizetype hugeSize = qsizetype(40) << 20;
const QString outOfMemory = u"Mémoire insuffisante."_s;

// The address space that the process has mapped now.
qint64 mappedBytes()
{
    QFile statm(u"/proc/self/statm"_s);
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    return statm.readAll().split(' ').value(0).toLongLong() * ::sysconf(_SC_PAGESIZE);
}

// For as long as it lives, the process may map only margin bytes more than it has.
class AddressSpaceCap
{
public:
    AddressSpaceCap()
    {
        const qint64 mapped = mappedBytes();
        if (mapped < 0 || ::getrlimit(RLIMIT_AS, &m_saved) != 0)
            return;
        rlimit capped = m_saved;
        capped.rlim_cur = rlim_t(mapped + margin);
        m_capped = ::setrlimit(RLIMIT_AS, &capped) == 0;
    }
    ~AddressSpaceCap()
    {
        if (m_capped)
            ::setrlimit(RLIMIT_AS, &m_saved);
    }
    Q_DISABLE_COPY_MOVE(AddressSpaceCap)

    bool isCapped() const { return m_capped; }

private:
    rlimit m_saved{};
    bool m_capped = false;
};

// half a million lines of 80 characters.
QStringList largeList()
{
    QStringList lines;
    lines.reserve(500000);
    for (int i = 0; i < 500000; ++i)
        lines.append(u"adresse%1@exemple.fr "_s.arg(i, 8, 10, QChar(u'0')).leftJustified(80, u'x'));
    return lines;
}

void press(QWidget *widget, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(widget, key, modifiers);
}

} // namespace

class TestOutOfMemory : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void stepFails_data();
    void stepFails();
    void copiesAreReadWithoutMemory_data();
    void copiesAreReadWithoutMemory();

private:
    bool hasSelectionClipboard() const { return QGuiApplication::clipboard()->supportsSelection(); }

    std::unique_ptr<WindowDriver> m_driver;
};

void TestOutOfMemory::initTestCase()
{
    QString why;
    if (!addressSpaceCanBeLimited(&why))
        QSKIP(qPrintable(why));
}

void TestOutOfMemory::init()
{
    static int casesRun = 0;
    if (++casesRun > 1)
        QSKIP("Each case runs in a process of its own: tst_outofmemory FUNCTION:ROW");
    removeProfile();
    m_driver = std::make_unique<WindowDriver>();
    m_driver->show();
    QCOMPARE(m_driver->takeErrors(), QStringList());
}

void TestOutOfMemory::cleanup()
{
    m_driver.reset();
    QGuiApplication::clipboard()->clear(QClipboard::Clipboard);
    if (hasSelectionClipboard())
        QGuiApplication::clipboard()->clear(QClipboard::Selection);
    removeProfile();
}

void TestOutOfMemory::stepFails_data()
{
    QTest::addColumn<Step>("step");

    QTest::newRow("paste") << Step::Paste;
    QTest::newRow("select all") << Step::SelectAll;
    QTest::newRow("Shift+Ctrl+End") << Step::ExtendSelection;
    QTest::newRow("typing at the end of a huge field") << Step::TypeInHugeField;
    QTest::newRow("undo after deleting everything") << Step::UndoDeletion;
    QTest::newRow("middle click") << Step::MiddleClick;
}

// The step runs under the cap and fails; the list, its caret and its history are as they
// were. Once memory is back, the step that failed works.
void TestOutOfMemory::stepFails()
{
    QFETCH(Step, step);
    const bool needsSelection = step == Step::SelectAll || step == Step::ExtendSelection
            || step == Step::MiddleClick;
    if (needsSelection && !hasSelectionClipboard())
        QSKIP("This platform has no selection clipboard (X11's primary selection).");

    ListEdit *area = m_driver->listEdit();
    QClipboard *clipboard = QGuiApplication::clipboard();
    const QString hugeText = QString(hugeSize, u'z');
    switch (step) {
    case Step::Paste:
        area->setLines({ u"avant"_s });
        clipboard->setText(hugeText);
        break;
    case Step::MiddleClick:
        area->setLines({ u"avant"_s });
        clipboard->setText(hugeText, QClipboard::Selection);
        break;
    case Step::SelectAll:
    case Step::ExtendSelection:
        clipboard->setText(u"avant"_s, QClipboard::Selection);
        area->setLines(largeList());
        area->setCaretPosition({});
        break;
    case Step::TypeInHugeField:
        area->setLines({ hugeText });
        area->setCaretPosition({ 0, hugeSize });
        break;
    case Step::UndoDeletion: {
        // Many lines, then one too large for the margin: the undo fails half way through
        // the lines it puts back.
        QStringList lines = largeList().mid(0, 1000);
        lines.append(hugeText);
        area->setLines(lines);
        area->selectAll();
        press(area, Qt::Key_Delete);
        QCOMPARE(area->text(), QString());
        break;
    }
    }
    const QStringList lines = area->lines();
    const TextPosition caret = area->caretPosition();
    const TextPosition anchor = area->anchorPosition();
    const bool canUndo = area->isUndoAvailable();
    const bool canRedo = area->isRedoAvailable();
    QCOMPARE(m_driver->takeErrors(), QStringList());

    const auto run = [&] {
        switch (step) {
        case Step::Paste:
            press(area, Qt::Key_V, Qt::ControlModifier);
            break;
        case Step::SelectAll:
            press(area, Qt::Key_A, Qt::ControlModifier);
            break;
        case Step::ExtendSelection:
            press(area, Qt::Key_End, Qt::ControlModifier | Qt::ShiftModifier);
            break;
        case Step::TypeInHugeField:
            press(area, Qt::Key_X);
            break;
        case Step::UndoDeletion:
            press(area, Qt::Key_Z, Qt::ControlModifier);
            break;
        case Step::MiddleClick:
            QTest::mouseClick(area->viewport(), Qt::MiddleButton, {}, QPoint(10, 5));
            break;
        }
    };
    {
        const AddressSpaceCap cap;
        QVERIFY(cap.isCapped());
        run();
        QTRY_COMPARE(m_driver->errors(), QStringList{ outOfMemory });
    }
    m_driver->takeErrors();
    QVERIFY(area->lines() == lines);
    QCOMPARE(area->isUndoAvailable(), canUndo);
    QCOMPARE(area->isRedoAvailable(), canRedo);
    if (step == Step::SelectAll || step == Step::ExtendSelection) {
        // Only the selection's copy failed; the selection itself was made.
        QCOMPARE(clipboard->text(QClipboard::Selection), u"avant"_s);
    } else if (step != Step::MiddleClick) {
        QCOMPARE(area->caretPosition(), caret);
        QCOMPARE(area->anchorPosition(), anchor);
    }

    run();
    QCOMPARE(m_driver->takeErrors(), QStringList());
    switch (step) {
    case Step::Paste:
        QCOMPARE(area->lineCount(), 2);
        QCOMPARE(area->line(1), hugeText);
        break;
    case Step::MiddleClick:
        QCOMPARE(area->lineCount(), 1);
        QCOMPARE(area->line(0).size(), hugeSize + 5);
        break;
    case Step::SelectAll:
    case Step::ExtendSelection:
        QCOMPARE(clipboard->text(QClipboard::Selection).size(), area->textWithCrLf().size());
        break;
    case Step::TypeInHugeField:
        QCOMPARE(area->line(0), hugeText + u'x');
        break;
    case Step::UndoDeletion:
        QCOMPARE(area->lineCount(), 1001);
        QCOMPARE(area->line(1000), hugeText);
        break;
    }
}

void TestOutOfMemory::copiesAreReadWithoutMemory_data()
{
    QTest::addColumn<QClipboard::Mode>("mode");

    QTest::newRow("Copier la liste") << QClipboard::Clipboard;
    QTest::newRow("X11 selection") << QClipboard::Selection;
}

// A copy of a large list, read while memory is short, as another program reads it: the
// clipboard's data is handed over as it was made at the copy. On an X server xclip reads it
// from the window, whose answer runs in Qt's own event handling.
void TestOutOfMemory::copiesAreReadWithoutMemory()
{
    QFETCH(QClipboard::Mode, mode);
    if (mode == QClipboard::Selection && !hasSelectionClipboard())
        QSKIP("This platform has no selection clipboard (X11's primary selection).");

    ListEdit *area = m_driver->listEdit();
    area->setLines(largeList());
    if (mode == QClipboard::Clipboard)
        m_driver->copyList();
    else
        press(area, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(m_driver->takeErrors(), QStringList());
    const QByteArray expected = area->textWithCrLf().toUtf8();
    const QString xclip = QStandardPaths::findExecutable(u"xclip"_s);
    const bool readByXclip = hasSelectionClipboard() && !xclip.isEmpty();
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString output = dir.filePath(u"xclip.out"_s);

    QByteArray plain;
    QByteArray utf8;
    {
        const AddressSpaceCap cap;
        QVERIFY(cap.isCapped());
        const QMimeData *data = QGuiApplication::clipboard()->mimeData(mode);
        QVERIFY(data);
        plain = data->data(u"text/plain"_s);
        utf8 = data->data(u"text/plain;charset=utf-8"_s);
        if (readByXclip) {
            QProcess reader;
            reader.setStandardOutputFile(output);
            reader.start(xclip, { u"-o"_s, u"-selection"_s,
                                  mode == QClipboard::Clipboard ? u"clipboard"_s : u"primary"_s });
            QTRY_VERIFY_WITH_TIMEOUT(reader.state() == QProcess::NotRunning, 30000);
            QCOMPARE(reader.exitCode(), 0);
        }
    }
    QCOMPARE(m_driver->takeErrors(), QStringList());
    QCOMPARE(plain.size(), expected.size());
    QVERIFY(plain == expected);
    QVERIFY(utf8 == expected);
    if (readByXclip)
        QVERIFY(readFile(output) == expected);
}

QTEST_MAIN(TestOutOfMemory)

#include "tst_outofmemory.moc"
