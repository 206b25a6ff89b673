// Times one piece of the window's work on a large input and prints one line:
//   CASE file=FILE seconds=S peak_kb=K lines=N
// Each case runs in a process of its own, so that the peak resident set (VmHWM) is that
// case's alone. Run with QT_QPA_PLATFORM=offscreen.
//
// Cases:
//   setplaintext FILE   a bare QPlainTextEdit: read, decode and setPlainText (anchor)
//   drop-plain FILE     FILE dropped on the window, "Extraction automatique" off
//   drop-auto FILE      the same with the option on, until the list is in the area
//   extract FILE        "Extraire" on the lines of FILE already in the area
//   collator-sort FILE  std::sort of FILE's lines with QCollator::compare (anchor)
//   sort FILE           "Trier la liste" on the lines of FILE
//   save FILE           the save behind "Enregistrer ..." of the lines of FILE
//
// The window keeps its profile beside this program; it is removed before and after each
// case, so that no case starts by reloading the file an earlier one dropped.

#include "peakmemory.h"

#include "app/errorbox.h"
#include "app/mainwindow.h"
#include "settings/profile.h"
#include "textarea/listedit.h"
#include "worklist/textfile.h"

#include <QAction>
#include <QApplication>
#include <QCollator>
#include <QFileInfo>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QStringList>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QUrl>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <optional>

namespace {

QByteArray readAll(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "benchwindow: %s: %s\n", qPrintable(fileName),
                     qPrintable(file.errorString()));
        std::exit(1);
    }
    return file.readAll();
}

QStringList readLines(const QString &fileName)
{
    QStringList lines = QString::fromUtf8(readAll(fileName)).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast();
    return lines;
}

// Lets the window finish what the last step queued: layout, scroll bar, painting.
void settle()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

struct Result
{
    qint64 nanoseconds = 0;
    qint64 lines = 0;
};

Result setPlainTextCase(const QString &fileName)
{
    QPlainTextEdit edit;
    edit.resize(600, 394);
    edit.show();
    settle();

    QElapsedTimer timer;
    timer.start();
    edit.setPlainText(QString::fromUtf8(readAll(fileName)));
    settle();
    // Counted as the window counts lines: the empty block after a final break is none.
    const QTextDocument *document = edit.document();
    return { timer.nsecsElapsed(), document->blockCount() - (document->lastBlock().length() == 1) };
}

// The real window, shown, with "Extraction automatique" set as asked and the start-up
// line in its area.
class Window
{
public:
    explicit Window(bool autoExtract)
    {
        QFile::remove(Profile().fileName());
        m_window.emplace();
        m_listEdit = m_window->findChild<ListEdit *>(QStringLiteral("Memo1"));
        action("chk_AUTO")->setChecked(autoExtract);
        m_window->show();
        settle();
    }
    ~Window()
    {
        m_window.reset();
        QFile::remove(Profile().fileName());
    }

    ListEdit *listEdit() const { return m_listEdit; }
    QAction *action(const char *name) const
    {
        return m_window->findChild<QAction *>(QLatin1String(name));
    }

    // Drops the file on the text area as the desktop does, and waits until the window
    // has handled it.
    void drop(const QString &fileName)
    {
        QMimeData mimeData;
        mimeData.setUrls({ QUrl::fromLocalFile(QFileInfo(fileName).absoluteFilePath()) });
        // The application hands a drop to the widget that accepted the drag's entry.
        const QPointF pos(20, 20);
        QDragEnterEvent enter(pos.toPoint(), Qt::CopyAction, &mimeData, Qt::NoButton,
                              Qt::NoModifier);
        QCoreApplication::sendEvent(m_listEdit->viewport(), &enter);
        bool changed = false;
        const QMetaObject::Connection watch = QObject::connect(
                m_listEdit, &ListEdit::textChanged, [&changed] { changed = true; });
        QDropEvent drop(pos, Qt::CopyAction, &mimeData, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(m_listEdit->viewport(), &drop);
        if (!drop.isAccepted()) {
            std::fputs("benchwindow: the window refused the drop\n", stderr);
            std::exit(1);
        }
        // The window may take the drop at once and load the file later.
        do
            settle();
        while (!changed);
        QObject::disconnect(watch);
    }

    qint64 lineCount() const { return m_listEdit->lineCount(); }

private:
    std::optional<MainWindow> m_window;
    ListEdit *m_listEdit = nullptr;
};

Result dropCase(const QString &fileName, bool autoExtract)
{
    Window window(autoExtract);
    QElapsedTimer timer;
    timer.start();
    window.drop(fileName);
    return { timer.nsecsElapsed(), window.lineCount() };
}

// Runs a menu command on the lines of fileName, put into the area beforehand.
Result commandCase(const QString &fileName, const char *actionName)
{
    Window window(false);
    window.drop(fileName);
    QAction *command = window.action(actionName);
    QElapsedTimer timer;
    timer.start();
    command->trigger();
    settle();
    return { timer.nsecsElapsed(), window.lineCount() };
}

Result saveCase(const QString &fileName)
{
    Window window(false);
    window.drop(fileName);
    const QTemporaryDir dir(QFileInfo(fileName).absolutePath()
                            + QStringLiteral("/benchwindow-XXXXXX"));
    QElapsedTimer timer;
    timer.start();
    writeTextFile(dir.filePath(QStringLiteral("ADRESSES.TXT")), window.listEdit()->textWithCrLf(),
                  TextEncoding::System);
    return { timer.nsecsElapsed(), window.lineCount() };
}

Result collatorSortCase(const QString &fileName)
{
    QStringList lines = readLines(fileName);
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);

    QElapsedTimer timer;
    timer.start();
    std::sort(lines.begin(), lines.end(), [&collator](const QString &a, const QString &b) {
        return collator.compare(a, b) < 0;
    });
    return { timer.nsecsElapsed(), lines.size() };
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // A case that fails must say so and stop, not wait for someone to close a box.
    setErrorBoxHook([](const QString &text) {
        std::fprintf(stderr, "benchwindow: %s\n", qPrintable(text));
        std::exit(1);
    });

    const std::map<QString, std::function<Result(const QString &)>> cases = {
        { QStringLiteral("setplaintext"), setPlainTextCase },
        { QStringLiteral("drop-plain"), [](const QString &f) { return dropCase(f, false); } },
        { QStringLiteral("drop-auto"), [](const QString &f) { return dropCase(f, true); } },
        { QStringLiteral("extract"), [](const QString &f) { return commandCase(f, "Extract"); } },
        { QStringLiteral("collator-sort"), collatorSortCase },
        { QStringLiteral("sort"), [](const QString &f) { return commandCase(f, "SORT"); } },
        { QStringLiteral("save"), saveCase },
    };
    const QStringList args = QCoreApplication::arguments();
    const auto found = args.size() == 3 ? cases.find(args.at(1)) : cases.end();
    if (found == cases.end()) {
        std::fputs("Usage : benchwindow CAS FICHIER\nCas :", stderr);
        for (const auto &entry : cases)
            std::fprintf(stderr, " %s", qPrintable(entry.first));
        std::fputc('\n', stderr);
        return 2;
    }

    const Result result = found->second(args.at(2));
    std::printf("%s file=%s seconds=%.3f peak_kb=%lld lines=%lld\n", qPrintable(args.at(1)),
                qPrintable(args.at(2)), result.nanoseconds / 1e9, peakResidentKb(),
                result.lines);
    return 0;
}
