#pragma once

#include "support/windowsupport.h"

#include <QString>
#include <QStringList>
#include <QUrl>

#include <memory>

class TForm1;

// Drives the main window as a user does: drops files on the text area, chooses menu
// commands, answers the save dialog, closes the window. Every message that the error box
// would show is collected instead. The window is created, with its start-up, by the
// constructor, and shown.
class WindowDriver
{
public:
    WindowDriver();
    ~WindowDriver();

    // The messages of the error box since the last call, as the box shows them.
    QStringList takeErrors();

    // A drag that enters the text area and drops url there.
    void drop(const QUrl &url);
    void drop(const QString &fileName) { drop(QUrl::fromLocalFile(fileName)); }

    bool autoExtract() const;
    void setAutoExtract(bool on);
    void extract();
    // "Enregistrer ...", with fileName typed into the dialog and confirmed.
    void save(const QString &fileName);
    // Asks the window to close; true when it did.
    bool close();

    // The working list as the text area holds it, each line followed by a break but the
    // last when it has none.
    QString text() const;

private:
    void trigger(const char *entry);

    // Declared first, so that it collects until the window is gone.
    ErrorBoxes m_errors;
    std::unique_ptr<TForm1> m_window;
};
