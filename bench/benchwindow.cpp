// Times one piece of the window's work on a large input and prints one line:
//   CASE file=FILE seconds=S peak_kb=K lines=N
// Each case runs in a process of its own, so that the peak resident set (VmHWM) is that
// case's alone. Run with QT_QPA_PLATFORM=offscreen.
//
// Cases:
//   setplaintext FILE   a bare QPlainTextEdit: read, decode and setPlainText (anchor)
//   collator-sort FILE  std::sort of FILE's lines with QCollator::compare (anchor)

#include <QApplication>
#include <QCollator>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QStringList>
#include <QTextDocument>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>

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

qint64 peakResidentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').constFirst().toLongLong();
    }
    return -1;
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
    return { timer.nsecsElapsed(), edit.document()->blockCount() };
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

    const std::map<QString, std::function<Result(const QString &)>> cases = {
        { QStringLiteral("setplaintext"), setPlainTextCase },
        { QStringLiteral("collator-sort"), collatorSortCase },
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
