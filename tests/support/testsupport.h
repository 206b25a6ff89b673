#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QtEndian>

#include <functional>

// Helpers shared by the tests of every folder.

// The line the text area shows until something is loaded, without its break.
inline const QString placeholderLine =
        QStringLiteral("Déposez ici un fichier contenat des adresses EMAIL");

// The byte-order mark, then text in UTF-16 units of that order.
inline QByteArray utf16Bytes(QStringView text, bool bigEndian)
{
    const QByteArray mark = bigEndian ? QByteArray("\xFE\xFF") : QByteArray("\xFF\xFE");
    // An empty view may have no data at all, and the copy must not be given a null source.
    if (text.isEmpty())
        return mark;
    QByteArray bytes(text.size() * 2, Qt::Uninitialized);
    if (bigEndian)
        qToBigEndian<char16_t>(text.utf16(), text.size(), bytes.data());
    else
        qToLittleEndian<char16_t>(text.utf16(), text.size(), bytes.data());
    return mark + bytes;
}

// Writes bytes to the file at path, replacing it. A failure ends the test: nothing that
// follows would mean anything.
void writeFile(const QString &path, const QByteArray &bytes);
// The same for the file name in folder; returns its path.
QString writeFile(const QString &folder, const QString &name, const QByteArray &bytes);

// The bytes of a file, or "(unreadable)" when it cannot be read, so that a file that is
// missing never compares equal to an expected empty one.
QByteArray readFile(const QString &path);

// Text without a mark decoded as the program decodes it when it is not all UTF-8, by a
// plain reference: at each byte the longest well-formed UTF-8 sequence that starts there,
// as Qt checks it, or else that byte by the system's Windows-1252 converter (ICU).
QString mixedTextReference(QByteArrayView bytes);

// The message of the AdrelioError that operation raises; empty when it raises none.
QString errorOf(const std::function<void()> &operation);

// The system's text for an error number, as the program's messages end with it.
QString systemReason(int errnum);
// The messages of a failed open or create of fileName, before the error box adds its ".".
QString openErrorText(const QString &fileName, int errnum);
QString createErrorText(const QString &fileName, int errnum);

// Whether a limit on the address space (setrlimit(RLIMIT_AS), ulimit -v) can stand for
// memory that runs out: not under AddressSanitizer, which reserves terabytes of address
// space at start. When it cannot, why says why.
bool addressSpaceCanBeLimited(QString *why);

// Whether runAsNobody() can work: the tests run as root, and the user nobody and runuser
// exist. When it cannot, why says why.
bool nobodyAvailable(QString *why);

// A program run to its end. exitCode is -1 when it did not start, crashed or did not
// end within the time given (five minutes unless said); error then says which.
struct ProgramRun
{
    int exitCode = -1;
    QByteArray output;
    QByteArray errors;
    QString error;
};

// environment holds "NAME=value" entries that the program gets on top of the tests' own.
ProgramRun runProgram(const QString &program, const QStringList &arguments,
                      const QStringList &environment = {}, int timeLimitMs = 300000);
// The same as the user nobody, through runuser, which gives it nobody's HOME unless
// environment sets one; see nobodyAvailable().
ProgramRun runAsNobody(const QString &program, const QStringList &arguments,
                       const QStringList &environment = {}, int timeLimitMs = 300000);

// A run whose outcome rests on permissions is unprivileged: root passes every permission,
// so it runs as the user nobody, for whom permissions hold as they hold for any user; any
// other user runs the program as itself. canRunUnprivileged() says whether such a run can
// take place, and why not when it cannot.
bool canRunUnprivileged(QString *why);
ProgramRun runUnprivileged(const QString &program, const QStringList &arguments,
                           const QStringList &environment = {}, int timeLimitMs = 300000);
// Makes path the unprivileged user's own, so that an unprivileged run may write there.
bool giveToUnprivilegedUser(const QString &path);
