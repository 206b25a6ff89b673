// Reads or writes one profile entry, so that the tests can do it as another user.
//   profiletool get FILE SECTION KEY DEFAULT   prints the value
//   profiletool set FILE SECTION KEY VALUE     prints the error and exits with 1 on failure
#include "base/adrelioerror.h"
#include "settings/profile.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 6)
        return 2;
    QTextStream out(stdout);
    QTextStream err(stderr);
    try {
        if (args[1] == QLatin1String("get"))
            out << Profile(args[2]).value(args[3], args[4], args[5]);
        else
            Profile(args[2]).setValue(args[3], args[4], args[5]);
    } catch (const AdrelioError &error) {
        err << error.message();
        return 1;
    }
    return 0;
}
