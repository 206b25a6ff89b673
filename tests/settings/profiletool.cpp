// Reads or writes one profile entry, so that the tests can do it as another user.
//   profiletool get PROFILE SECTION KEY DEFAULT   prints the value
//   profiletool set PROFILE SECTION KEY VALUE     prints the error and exits with 1 on failure
//   profiletool where PROFILE                     prints the profile's file and its defaults'
// PROFILE is a file, or "--executable PATH CONFIG_FOLDER": the profile that an executable
// at PATH keeps.
#include "base/adrelioerror.h"
#include "settings/profile.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.size() < 2)
        return 2;
    const QString command = args.takeFirst();
    const bool byExecutable = args.constFirst() == QLatin1String("--executable");
    if (byExecutable && args.size() < 3)
        return 2;
    Profile profile = byExecutable ? Profile::forExecutable(args[1], args[2]) : Profile(args[0]);
    args = args.mid(byExecutable ? 3 : 1);

    QTextStream out(stdout);
    QTextStream err(stderr);
    if (command == QLatin1String("where") && args.isEmpty()) {
        out << profile.fileName() << '\n' << profile.defaultsFileName() << '\n';
        return 0;
    }
    if (args.size() != 3)
        return 2;
    try {
        if (command == QLatin1String("get"))
            out << profile.value(args[0], args[1], args[2]);
        else if (command == QLatin1String("set"))
            profile.setValue(args[0], args[1], args[2]);
        else
            return 2;
    } catch (const AdrelioError &error) {
        err << error.message();
        return 1;
    }
    return 0;
}
