#pragma once

#include <QHash>
#include <QPoint>
#include <QStringList>
#include <QWidget>

#include <functional>

class ImageList;
class MemoEdit;
class TJvDragDrop;

QT_BEGIN_NAMESPACE
class QAction;
class QFileDialog;
class QKeyEvent;
class QKeySequence;
class QMenu;
class QMouseEvent;
QT_END_NAMESPACE

// The program's only window: the text area that holds the working list, the context menu
// that carries every command, and the handlers that restore the state of the last run
// and store it again at close.
class TForm1 : public QWidget
{
    Q_OBJECT

public:
    // Builds the layout, then runs FormCreate with the window still hidden. An error in
    // FormCreate is shown in the error box, and the window is created all the same.
    explicit TForm1(QWidget *parent = nullptr);

    // The handlers raise AdrelioError; where the event loop calls them, the error is
    // shown in the error box.
    void FormCreate();
    void FormClose();
    void Enregistrer1Click();
    void COPYClick();
    void SORTClick();
    void ExtractExecute();
    void Memo1Click();
    void JvDragDrop1Drop(TJvDragDrop *sender, QPoint pos, const QStringList &value);

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    // At logout or shutdown the program ends without running FormClose.
    void endSession();

private:
    void createActions();
    void createMenu();
    QAction *addAction(const char *name, const QString &category, const QString &caption,
                       const QString &hint, int image, const QKeySequence &shortcut);
    QAction *addEntry(const char *name, const QString &caption, int image = -1);
    QAction *addEntry(const char *name, QAction *action);
    void addSeparator(const char *name);

    void prepareMenu();
    void openMenu(const QPoint &globalPos);
    void updateEditActions();
    void copySelection();
    QAction *entryForShortcut(const QKeyEvent *event) const;
    bool filterMemoEvent(QEvent *event);
    bool filterViewportEvent(QMouseEvent *event);
    void setTitle(const QString &title);
    void loadFile(const QString &fileName, const std::function<void()> &remember = {});
    void handleDrop(TJvDragDrop *sender, QPoint pos, const QStringList &files);

    MemoEdit *Memo1;
    QMenu *PopupMenu1;
    QObject *ActionList1;
    ImageList *ImageList1;
    QFileDialog *SaveDialog1;
    TJvDragDrop *JvDragDrop1;

    QAction *Extract;
    QAction *FichierFileExit1;
    QAction *EditionEditCopy1;
    QAction *EditionEditPaste1;
    QAction *EditionEditSelectAll1;

    QAction *Adrelio;
    QAction *Enregistrer1;
    QAction *COPY;
    QAction *SORT;
    QAction *chk_AUTO;
    QAction *outslectionner1;
    QAction *Coller1;
    QAction *N1;
    QAction *Quitter1;

    // The captions of the menu entries as designed, before access keys are added.
    QHash<QAction *, QString> m_captions;
    bool m_sessionEnding = false;
    bool m_clickPending = false;
    bool m_forwardingRelease = false;
};
