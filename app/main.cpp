#include "app/mainicon.h"
#include "app/unit1.h"
#include "settings/kesto_ini.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // Message boxes are captioned with the application title. The display name stays
    // unset: the platform would append it to every window title, the line click's too.
    QApplication::setApplicationName(applicationTitle());
    QApplication::setWindowIcon(mainIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral("adrelio"));

    TForm1 Form1;
    Form1.show();
    return app.exec();
}
