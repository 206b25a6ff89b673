// Runs the main window through the steps given on the command line and prints, for the
// start-up and for each step, one line of JSON: the step, the messages of the error box,
// the text area's text, and for "close" whether the window closed. The tests run it as an
// unprivileged user or under a file size limit, which they cannot take on themselves.
// Its profile is the ".INI" beside wherever the tests copied it.
//
//   reliabilityprobe STEP...
//   STEP: drop=PATH | save=PATH | auto=0 | auto=1 | extract | close | fsize=BYTES | fsize=none
//
// fsize limits the size of the files the probe writes, so that a write past it fails as
// on a full disk; "none" lifts the limit again.
#include "support/windowdriver.h"

#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <csignal>
#include <cstdio>

#include <sys/resource.h>

namespace {

void report(const QString &step, WindowDriver &driver, const QJsonObject &more = {})
{
    QJsonObject line = more;
    line.insert(QStringLiteral("step"), step);
    line.insert(QStringLiteral("errors"), QJsonArray::fromStringList(driver.takeErrors()));
    line.insert(QStringLiteral("text"), driver.text());
    std::fputs(QJsonDocument(line).toJson(QJsonDocument::Compact).append('\n').constData(), stdout);
    std::fflush(stdout);
}

// Only the soft limit moves, so that it can be lifted again.
bool limitFileSize(const QString &size)
{
    rlimit limit;
    if (getrlimit(RLIMIT_FSIZE, &limit) != 0)
        return false;
    limit.rlim_cur = size == QLatin1String("none") ? limit.rlim_max : rlim_t(size.toULongLong());
    return setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList steps = app.arguments().mid(1);
    // A write past the file size limit then fails with an error instead of a signal.
    std::signal(SIGXFSZ, SIG_IGN);

    WindowDriver driver;
    driver.show();
    report(QStringLiteral("start"), driver);
    for (const QString &step : std::as_const(steps)) {
        const QString argument = step.section(u'=', 1);
        QJsonObject more;
        if (step.startsWith(QLatin1String("drop=")))
            driver.drop(argument);
        else if (step.startsWith(QLatin1String("save=")))
            driver.save(argument);
        else if (step.startsWith(QLatin1String("auto=")))
            driver.setAutoExtract(argument == QLatin1String("1"));
        else if (step == QLatin1String("extract"))
            driver.extract();
        else if (step == QLatin1String("close"))
            more.insert(QStringLiteral("closed"), driver.close());
        else if (!step.startsWith(QLatin1String("fsize=")) || !limitFileSize(argument))
            return 2;
        report(step, driver, more);
    }
    return 0;
}
