#include "app/mainicon.h"
#include "app/mainwindow.h"
#include "base/boundary.h"
#include "documents/pdfprocess.h"
#include "settings/identity.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cstdio>
#include <cstdlib>

int main(int argc, char *argv[])
{
    // The program runs itself again to read a PDF (PdfProcess).
    if (const std::optional<int> status = PdfProcess::runChild(argc, argv))
        return *status;

    QApplication app(argc, argv);
    // Message boxes are captioned with the application title. The display name stays
    // unset: the platform would append it to every window title, the line click's too.
    QApplication::setApplicationName(ProgramIdentity().title());
    QApplication::setWindowIcon(mainIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral("adrelio"));

    // The program speaks French whatever the user's language, and so do Qt's own parts
    // (the save dialog's buttons, the scroll bar's menu) where their translation is installed.
    QTranslator qtTranslator;
    if (qtTranslator.load(QLocale(QLocale::French), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qtTranslator);

    // "Adrelio FICHIER" opens the file, as a file manager's "Ouvrir avec" does; Qt has
    // already taken its own options out of the arguments.
    const QStringList arguments = QCoreApplication::arguments();
    try {
        MainWindow window(arguments.value(1));
        window.show();
        return app.exec();
    } catch (...) {
        // Every handler of the program catches its own errors: what comes here left Qt's
        // own work, after which no box can be trusted to open.
        reportCurrentException([](const QString &message) {
            std::fprintf(stderr, "Adrelio : %s\n", message.toLocal8Bit().constData());
        });
        return EXIT_FAILURE;
    }
}
