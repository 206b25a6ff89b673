#pragma once

#include "base/textencoding.h"
#include "extract/extraction.h"
#include "worklist/textbuffer.h"

#include <QHash>
#include <QPoint>
#include <QStringList>
#include <QWidget>

#include <functional>

class FileDropTarget;
class ImageList;
class ListEdit;

QT_BEGIN_NAMESPACE
class QAction;
class QFileDialog;
class QKeyEvent;
class QKeySequence;
class QMenu;
class QMouseEvent;
QT_END_NAMESPACE

// The program's only window: the text area that holds the working list, the context menu
// that carries every command, and the start-up and close that restore the state of the
// last run and store it again.
//
// The window and its parts carry the object names that the profile and the tests know
// them by ("Form1", "Memo1", "chk_AUTO"...); docs/ARCHITECTURE.md lists them. Every
// slot, connection, event filter and the close event runs inside runHandler(), so its
// errors reach the error box; the window makes the box the sink of the errors that the
// text area catches in its own handlers.
class MainWindow : public QWidget
{
    Q_OBJECT

public:
    // Builds the window, then restores the last run's state with the window still hidden.
    // A file given to open (from the command line, as a file manager's "Ouvrir avec" gives
    // it) is loaded as a drop loads it, in place of the file remembered. An error there is
    // shown in the error box, and the window is created all the same.
    explicit MainWindow(const QString &fileToOpen = QString(), QWidget *parent = nullptr);

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    void extract();
    void saveList();
    void copyList();
    void sortList();
    void showClickedRow();
    void loadDroppedFile(const QStringList &files);
    // At logout or shutdown the program ends without storing its state.
    void endSession();

private:
    void createActions();
    void createMenu();
    QAction *addAction(const QString &id, const QString &category, const QString &caption,
                       const QString &hint, int image, const QKeySequence &shortcut);
    QAction *addEntry(const QString &id, const QString &caption, int image = -1);
    QAction *addEntry(const QString &id, QAction *action);
    void addSeparator(const QString &id);

    void restoreSession(const QString &fileToOpen);
    void storeSession();
    void prepareMenu();
    void openMenu(const QPoint &globalPos);
    void updateEditActions();
    void copySelection();
    void returnFromDialog();
    QAction *entryForShortcut(const QKeyEvent *event) const;
    bool filterListEditEvent(QEvent *event);
    bool filterViewportEvent(QMouseEvent *event);
    void setTitle(const QString &title);
    void loadFile(const QString &fileName, ReplaceMode mode,
                  const std::function<void()> &remember = {});
    void handleDrop(const QStringList &files);
    static void rememberFile(const QString &fileName);
    ExtractionOptions extractionOptions() const;

    ListEdit *m_listEdit;
    QMenu *m_contextMenu;
    QObject *m_actions;
    ImageList *m_images;
    QFileDialog *m_saveDialog;
    FileDropTarget *m_dropTarget;

    QAction *m_extractAction;
    QAction *m_quitAction;
    QAction *m_copyAction;
    QAction *m_pasteAction;
    QAction *m_selectAllAction;

    QAction *m_autoExtractEntry;
    // "Adresses seules" and "Sans doublons": how every extraction reduces its fields.
    QAction *m_cleanEntry;
    QAction *m_uniqueEntry;

    // The encoding of the file the list was loaded from, which the next save writes; a
    // list the program made (extracted addresses) is in the system encoding.
    TextEncoding m_listEncoding = TextEncoding::System;
    // The captions of the menu entries as designed, before access keys are added.
    QHash<QAction *, QString> m_captions;
    bool m_sessionEnding = false;
    bool m_clickPending = false;
    bool m_forwardingRelease = false;
};
