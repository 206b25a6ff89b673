// Times the text area (ListEdit) on large texts and prints one line per measurement:
//   CASE milliseconds=MS [detail]
// The area is shown at the window's size, 600x394, and each time runs until the area has
// painted (a synchronous repaint of its viewport). Run with QT_QPA_PLATFORM=offscreen.
//
// Cases, all by default or those named on the command line:
//   setlines   1.6 million lines of about 60 bytes put in with setLines()
//   type       a key typed at the end of those lines, until painted (median and worst of 50)
//   ctrlend    Ctrl+End from the start of those lines
//   words50    a 50 MB line of words and spaces loaded, until its first screen is painted
//   solid50    the same with a 50 MB line without any space
//   words50end, solid50end
//              Ctrl+End right after such a load: every row of the line is found first

#include "textarea/listedit.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr qsizetype listLines = 1600000;
constexpr qsizetype hugeLength = 50 * 1000 * 1000;

QStringList generatedLines()
{
    static const char *const words[] = {
        "jean.dupont@exemple.fr", "Bonjour", "réunion", "demain", "From:", "\"Dupont, Jean\"",
        "<marie@societe.com>", "le", "la", "des", "adresses", "courriel", "liste;", "envoi",
        "merci", "cordialement", "mailto:contact@site.org", "2024-05-01", "serveur", "à",
    };
    QRandomGenerator random(1);
    QStringList lines;
    lines.reserve(listLines);
    QString line;
    for (qsizetype i = 0; i < listLines; ++i) {
        line.clear();
        while (line.size() < 55) {
            line += QString::fromUtf8(words[random.bounded(int(std::size(words)))]);
            line += u' ';
        }
        lines.append(line);
    }
    return lines;
}

QString hugeLine(bool spaces)
{
    QString line;
    line.reserve(hugeLength);
    QRandomGenerator random(2);
    while (line.size() < hugeLength) {
        const int length = 2 + random.bounded(9);
        for (int i = 0; i < length; ++i)
            line += QChar(u'a' + random.bounded(26));
        if (spaces)
            line += u' ';
    }
    line.truncate(hugeLength);
    return line;
}

double milliseconds(const std::function<void()> &step)
{
    QElapsedTimer timer;
    timer.start();
    step();
    return timer.nsecsElapsed() / 1e6;
}

void paintNow(ListEdit &edit)
{
    edit.viewport()->repaint();
}

void sendKey(ListEdit &edit, Qt::Key key, Qt::KeyboardModifiers modifiers, const QString &text = {})
{
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QCoreApplication::sendEvent(&edit, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QCoreApplication::sendEvent(&edit, &release);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QStringList cases = app.arguments().mid(1);
    if (cases.isEmpty())
        cases = { u"setlines"_s, u"type"_s, u"ctrlend"_s, u"words50"_s, u"solid50"_s };

    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPointSize(8);
    ListEdit edit;
    edit.setFont(font);
    edit.resize(600, 394);
    edit.show();
    edit.setFocus();
    QCoreApplication::processEvents();

    const bool listCases = cases.contains(u"setlines"_s) || cases.contains(u"type"_s)
            || cases.contains(u"ctrlend"_s);
    if (listCases) {
        QStringList lines = generatedLines();
        const double ms = milliseconds([&] {
            edit.setLines(std::move(lines));
            paintNow(edit);
        });
        if (cases.contains(u"setlines"_s))
            std::printf("setlines milliseconds=%.2f lines=%lld\n", ms, qlonglong(edit.lineCount()));
    }
    if (cases.contains(u"type"_s)) {
        std::vector<double> times;
        for (int i = 0; i < 50; ++i) {
            times.push_back(milliseconds([&] {
                sendKey(edit, Qt::Key_X, Qt::NoModifier, u"x"_s);
                paintNow(edit);
            }));
        }
        std::sort(times.begin(), times.end());
        std::printf("type milliseconds=%.3f worst=%.3f\n", times[times.size() / 2], times.back());
    }
    if (cases.contains(u"ctrlend"_s)) {
        sendKey(edit, Qt::Key_Home, Qt::ControlModifier);
        paintNow(edit);
        const double ms = milliseconds([&] {
            sendKey(edit, Qt::Key_End, Qt::ControlModifier);
            paintNow(edit);
        });
        std::printf("ctrlend milliseconds=%.2f\n", ms);
    }
    for (const bool spaces : { true, false }) {
        const QString name = spaces ? u"words50"_s : u"solid50"_s;
        const bool toEnd = cases.contains(name + u"end"_s);
        if (!cases.contains(name) && !toEnd)
            continue;
        const QString line = hugeLine(spaces);
        edit.setLines({});
        paintNow(edit);
        const double ms = milliseconds([&] {
            edit.setLoadedText(line);
            paintNow(edit);
        });
        if (cases.contains(name))
            std::printf("%s milliseconds=%.2f units=%lld\n", qPrintable(name), ms, qlonglong(line.size()));
        if (toEnd) {
            const double endMs = milliseconds([&] {
                sendKey(edit, Qt::Key_End, Qt::ControlModifier);
                paintNow(edit);
            });
            std::printf("%send milliseconds=%.2f rows=%lld\n", qPrintable(name), endMs,
                        qlonglong(edit.rowCount(0)));
        }
    }
    return 0;
}
