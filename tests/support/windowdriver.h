#pragma once

#include "app/errorbox.h"
#include "support/testsupport.h"
#include "support/windowsupport.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

#include <functional>
#include <memory>
#include <utility>

class ListEdit;
class MainWindow;

QT_BEGIN_NAMESPACE
class QAction;
class QFileDialog;
class QMenu;
QT_END_NAMESPACE

// Collects the texts the error box would show, instead of opening it.
class ErrorBoxes
{
public:
    ErrorBoxes() { setErrorBoxHook([this](const QString &text) { m_texts.append(text); }); }
    ~ErrorBoxes() { setErrorBoxHook({}); }
    Q_DISABLE_COPY_MOVE(ErrorBoxes)

    const QStringList &texts() const { return m_texts; }
    // The texts since the last call.
    QStringList take() { return std::exchange(m_texts, {}); }

private:
    QStringList m_texts;
};

// The list as the window shows it at start, with its break, as WindowDriver::text() and
// textWithCrLf() give it.
inline const QString placeholderText = placeholderLine + QStringLiteral("\n");
inline const QString placeholderTextWithCrLf = placeholderLine + QStringLiteral("\r\n");

// The program's profile as the tests see it: the one beside the test executable.
QString profilePath();
void writeProfile(const QByteArray &content);
QByteArray readProfile();
// A profile that names fileName as the last file dropped, with the option as given and
// the placement 30:40:500:300.
QByteArray profileWithFile(const QString &fileName, bool autoExtract);

// Calls answer with the next modal box or dialog once it is open; answer must close it.
void whenModalOpens(QObject *context, const std::function<void(QWidget *)> &answer);

// Answers "Oui" to the question the save dialog asks before it replaces a file, if the
// dialog asks it: called right before the dialog is accepted.
void confirmReplace();

// Removes the profile, or a folder standing in its place.
void removeProfile();

// Drives the main window as a user does: drops files on the text area, chooses menu
// entries, answers the save dialog, closes the window. Every message that the error box
// would show is collected instead, from the start-up on. The constructor creates the
// window, which runs its start-up; show() shows it. Every window test goes through this
// class, so that a change of the window touches only it.
class WindowDriver
{
public:
    // fileToOpen: the file given on the program's command line.
    explicit WindowDriver(const QString &fileToOpen = QString());
    ~WindowDriver();
    WindowDriver(const WindowDriver &) = delete;
    WindowDriver &operator=(const WindowDriver &) = delete;

    MainWindow *window() const { return m_window.get(); }
    ListEdit *listEdit() const { return m_listEdit; }
    QMenu *menu() const;
    QFileDialog *saveDialog() const;
    // An action or a menu entry by its object name.
    QAction *action(const QString &id) const;

    // Shows the window at the top left, active, the text area holding the focus.
    void show();

    // The messages of the error box, as the box shows them: all of them, or those since
    // the last call to takeErrors().
    const QStringList &errors() const { return m_errors.texts(); }
    QStringList takeErrors() { return m_errors.take(); }

    // A drag that enters the text area and drops there, as a file manager does; the window
    // loads the first file right after. False when the area refused the drag or the drop.
    bool drop(const QList<QUrl> &urls);
    bool drop(const QUrl &url) { return drop(QList<QUrl>{ url }); }
    bool drop(const QStringList &fileNames);
    bool drop(const QString &fileName) { return drop(QStringList{ fileName }); }

    bool autoExtract() const;
    void setAutoExtract(bool on);
    // Menu entries chosen directly, without opening the menu.
    void trigger(const QString &id);
    void extract() { trigger(QStringLiteral("Adrelio")); }
    void sort() { trigger(QStringLiteral("SORT")); }
    // "Copier la liste dans le presse papier ", with its "Copié" box closed.
    void copyList();
    // "Enregistrer ...", with fileName typed into the dialog and confirmed, and the
    // replacing of an existing file confirmed too.
    void save(const QString &fileName);
    // "Enregistrer ...", the dialog handed to answer, which must close it.
    void save(const std::function<void(QFileDialog *)> &answer);

    // Opens the menu as the menu key does.
    void openMenu();
    // Chooses an entry as the user does: the menu is prepared and opened, then the entry
    // is activated with Return. False when the entry is disabled.
    bool chooseFromMenu(const QString &id);

    // Asks the window to close; true when it did.
    bool close();

    // The working list with '\n' breaks, each line followed by one but the last when the
    // text does not end with a break.
    QString text() const;
    // The same with CR LF breaks, as a save writes it.
    QString textWithCrLf() const;
    // The bytes that "Enregistrer ..." writes for the list now, saved into a folder of
    // the driver's own.
    QByteArray savedBytes();
    void setText(const QString &text);

private:
    // Declared first, so that it collects until the window is gone.
    ErrorBoxes m_errors;
    std::unique_ptr<MainWindow> m_window;
    ListEdit *m_listEdit = nullptr;
    QTemporaryDir m_saveFolder;
};
