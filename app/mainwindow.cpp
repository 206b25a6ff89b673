#include "app/mainwindow.h"

#include "app/accesskeys.h"
#include "app/errorbox.h"
#include "app/imagelist.h"
#include "app/mainicon.h"
#include "app/messagebox.h"
#include "app/progressguard.h"
#include "app/tooltipstyle.h"
#include "app/windowplacement.h"
#include "base/fileerrors.h"
#include "documents/documentreader.h"
#include "drop/filedroptarget.h"
#include "extract/extraction.h"
#include "settings/identity.h"
#include "settings/profile.h"
#include "textarea/listedit.h"
#include "worklist/linesort.h"
#include "worklist/textfile.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QCompleter>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QMenu>
#include <QMimeData>
#include <QScopedValueRollback>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const QString placeholderLine =
        QStringLiteral("Déposez ici un fichier contenat des adresses EMAIL");
const QString importSection = QStringLiteral("FICHIER");
const QString importKey = QStringLiteral("IMPORT");

const QString readingLabel = QStringLiteral("Lecture du fichier…");
const QString extractingLabel = QStringLiteral("Extraction des adresses…");
const QString sortingLabel = QStringLiteral("Tri de la liste…");
const QString savingLabel = QStringLiteral("Enregistrement…");

constexpr int dropRetryDelay = 100;

QFont windowFont()
{
    QFont font = QFontDatabase::families().contains(QLatin1String("Tahoma"))
            ? QFont(QStringLiteral("Tahoma"))
            : QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPointSize(8);
    return font;
}

// Something that is not a folder is there; a symbolic link counts when its target can be
// read. Permissions are asked rather than tried, since opening a FIFO would wait for a
// writer.
bool fileExistsAt(const QString &fileName)
{
    if (fileName.isEmpty())
        return false;
    const QFileInfo info(fileName);
    if (!info.exists() || info.isDir())
        return false;
    return !info.isSymLink() || info.isReadable();
}

// A file read as Windows-1252 gives a list in the system encoding: its save writes UTF-8
// with its mark, which keeps every character.
TextEncoding savedEncoding(TextEncoding loaded)
{
    return loaded == TextEncoding::Windows1252 ? TextEncoding::System : loaded;
}

// A text file by its mark, a document (an office file, a PDF, a mail, an archive) by its
// reader, which gives its text as UTF-8 in the system encoding: the list that comes from
// it is saved as UTF-8 with its mark.
RawTextFile readListFile(const QString &fileName, const Progress &progress)
{
    const DocumentKind kind = DocumentReader::kindOfFile(fileName);
    if (kind == DocumentKind::Text)
        return readTextFile(fileName, progress);
    return DocumentReader::readFile(fileName, kind, progress);
}

// One progress run for two steps: the first reports in its first half, the second in the
// second half.
Progress halfOf(const Progress &progress, qint64 half)
{
    if (!progress)
        return {};
    return [progress, half](qint64 done, qint64 total) {
        return progress(half * total + done, 2 * total);
    };
}

bool isPrimaryButton(const QMouseEvent *event)
{
    return event->button() == Qt::LeftButton;
}

} // namespace


MainWindow::MainWindow(const QString &fileToOpen, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                      | Qt::WindowCloseButtonHint)
{
    // Errors that the text area catches in its own handlers come to the error box too.
    setErrorSink(showErrorBox);
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Adrelio"));
    setWindowIcon(mainIcon());
    setFont(windowFont());
    resize(600, 394);

    m_images = new ImageList(this);
    m_images->setObjectName(QStringLiteral("ImageList1"));

    m_listEdit = new ListEdit(this);
    m_listEdit->setObjectName(QStringLiteral("Memo1"));
    m_listEdit->setLines({ placeholderLine });
    m_listEdit->setToolTip(QStringLiteral("Menu = Clic Droit"));
    m_listEdit->setToolTipDuration(2500);
    // The tooltip's delay is asked from the style of the widget under the pointer, which
    // is the viewport.
    auto *style = new ToolTipStyle(QApplication::style()->name());
    style->setParent(this);
    m_listEdit->setStyle(style);
    m_listEdit->viewport()->setStyle(style);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_listEdit);

    m_saveDialog = new QFileDialog(this);
    m_saveDialog->setObjectName(QStringLiteral("SaveDialog1"));
    m_saveDialog->setAcceptMode(QFileDialog::AcceptSave);
    m_saveDialog->setFileMode(QFileDialog::AnyFile);
    // The dialog asks before it replaces an existing file; "Non" returns to it.
    m_saveDialog->setOptions(QFileDialog::DontUseNativeDialog);

    createActions();
    createMenu();

    m_listEdit->installEventFilter(this);
    m_listEdit->viewport()->installEventFilter(this);
    m_listEdit->setFocus();

    m_dropTarget = new FileDropTarget(this);
    m_dropTarget->setObjectName(QStringLiteral("JvDragDrop1"));
    m_dropTarget->setTarget(m_listEdit);
    // The drop is taken at once and the file loaded afterwards, so that the file manager
    // that sent it does not wait for the load.
    connect(m_dropTarget, &FileDropTarget::filesDropped, this, &MainWindow::loadDroppedFile,
            Qt::QueuedConnection);

    connect(qApp, &QGuiApplication::commitDataRequest, this, &MainWindow::endSession);

    runHandler([this, &fileToOpen] { restoreSession(fileToOpen); });
}

// An action's id is its object name, which tests and the profile (for the options) know
// it by.
QAction *MainWindow::addAction(const QString &id, const QString &category, const QString &caption,
                               const QString &hint, int image, const QKeySequence &shortcut)
{
    auto *action = new QAction(caption, m_actions);
    action->setObjectName(id);
    action->setProperty("category", category);
    // A hint holds a short part for tooltips and a long part for a status line.
    if (!hint.isEmpty()) {
        action->setToolTip(hint.section(QLatin1Char('|'), 0, 0));
        action->setStatusTip(hint.section(QLatin1Char('|'), 1));
    }
    if (image >= 0)
        action->setIcon(m_images->icon(image));
    action->setShortcut(shortcut);
    return action;
}

void MainWindow::createActions()
{
    m_actions = new QObject(this);
    m_actions->setObjectName(QStringLiteral("ActionList1"));

    const QString file = QStringLiteral("Fichier");
    const QString edit = QStringLiteral("Edition");
    m_extractAction = addAction(QStringLiteral("Extract"), file, QStringLiteral("Extraire"),
                                QString(), -1, {});
    m_quitAction = addAction(QStringLiteral("FichierFileExit1"), file, QStringLiteral("&Quitter"),
                             QStringLiteral("Quitter|Quitte l'application"), ImageList::Exit, {});
    m_copyAction = addAction(
            QStringLiteral("EditionEditCopy1"), edit, QStringLiteral("C&opier"),
            QStringLiteral("Copier|Copie la sélection et la place dans le Presse-papiers"),
            ImageList::Copy, QKeySequence(Qt::CTRL | Qt::Key_C));
    m_pasteAction = addAction(QStringLiteral("EditionEditPaste1"), edit, QStringLiteral("Co&ller"),
                              QStringLiteral("Coller|Insère le contenu du Presse-papiers"),
                              ImageList::Floppy, QKeySequence(Qt::CTRL | Qt::Key_V));
    m_selectAllAction = addAction(
            QStringLiteral("EditionEditSelectAll1"), edit, QStringLiteral("&Tout sélectionner"),
            QStringLiteral("Tout sélectionner|Sélectionne l'intégralité du document"), -1,
            QKeySequence(Qt::CTRL | Qt::Key_A));

    connect(m_extractAction, &QAction::triggered, this, &MainWindow::extract);
    connect(m_quitAction, &QAction::triggered, this, &QWidget::close);
    connect(m_copyAction, &QAction::triggered, this,
            [this] { runHandler([this] { copySelection(); }); });
    connect(m_pasteAction, &QAction::triggered, this,
            [this] { runHandler([this] { m_listEdit->paste(); }); });
    connect(m_selectAllAction, &QAction::triggered, this,
            [this] { runHandler([this] { m_listEdit->selectAll(); }); });
}

QAction *MainWindow::addEntry(const QString &id, const QString &caption, int image)
{
    auto *entry = m_contextMenu->addAction(caption);
    entry->setObjectName(id);
    if (image >= 0)
        entry->setIcon(m_images->icon(image));
    m_captions.insert(entry, caption);
    return entry;
}

// An entry bound to an action shows the action's caption, image, shortcut and enabled
// state, and choosing it executes the action.
QAction *MainWindow::addEntry(const QString &id, QAction *action)
{
    auto *entry = addEntry(id, action->text());
    auto update = [this, entry, action] {
        m_captions.insert(entry, action->text());
        entry->setIcon(action->icon());
        entry->setShortcut(action->shortcut());
        entry->setEnabled(action->isEnabled());
    };
    update();
    // The keys are taken from the text area before they reach any shortcut (see
    // eventFilter), so the entry's own shortcut is only shown.
    entry->setShortcutContext(Qt::WidgetShortcut);
    entry->setShortcutVisibleInContextMenu(true);
    connect(action, &QAction::changed, entry, [update] { runHandler(update); });
    connect(entry, &QAction::triggered, action, &QAction::trigger);
    return entry;
}

void MainWindow::addSeparator(const QString &id)
{
    m_contextMenu->addSeparator()->setObjectName(id);
}

void MainWindow::createMenu()
{
    m_contextMenu = new QMenu(this);
    m_contextMenu->setObjectName(QStringLiteral("PopupMenu1"));

    addEntry(QStringLiteral("Adrelio"), m_extractAction);
    addSeparator(QStringLiteral("N4"));
    QAction *saveEntry = addEntry(QStringLiteral("Enregistrer1"),
                                  QStringLiteral("Enregistrer ..."), ImageList::Floppy);
    QAction *copyListEntry = addEntry(QStringLiteral("COPY"),
                                      QStringLiteral("Copier la liste dans le presse papier "),
                                      ImageList::Clipboard);
    QAction *sortEntry = addEntry(QStringLiteral("SORT"), QStringLiteral("Trier la liste"));
    addSeparator(QStringLiteral("N5"));
    m_autoExtractEntry = addEntry(QStringLiteral("chk_AUTO"),
                                  QStringLiteral("Extraction automatique"));
    m_autoExtractEntry->setCheckable(true);
    m_autoExtractEntry->setChecked(true);
    m_cleanEntry = addEntry(QStringLiteral("chk_CLEAN"), QStringLiteral("Adresses seules"));
    m_cleanEntry->setCheckable(true);
    m_uniqueEntry = addEntry(QStringLiteral("chk_UNIQUE"), QStringLiteral("Sans doublons"));
    m_uniqueEntry->setCheckable(true);
    addSeparator(QStringLiteral("N3"));
    addEntry(QStringLiteral("outslectionner1"), m_selectAllAction);
    addEntry(QStringLiteral("Coller1"), m_pasteAction);
    addEntry(QStringLiteral("N1"), m_copyAction);
    addSeparator(QStringLiteral("N2"));
    addEntry(QStringLiteral("Quitter1"), m_quitAction);

    connect(saveEntry, &QAction::triggered, this, &MainWindow::saveList);
    connect(copyListEntry, &QAction::triggered, this, &MainWindow::copyList);
    connect(sortEntry, &QAction::triggered, this, &MainWindow::sortList);
    connect(m_contextMenu, &QMenu::aboutToShow, this,
            [this] { runHandler([this] { prepareMenu(); }); });
    prepareMenu();
}

void MainWindow::prepareMenu()
{
    updateEditActions();
    QList<QAction *> entries;
    QStringList captions;
    const QList<QAction *> actions = m_contextMenu->actions();
    for (QAction *entry : actions) {
        if (entry->isSeparator() || !entry->isVisible())
            continue;
        entries.append(entry);
        captions.append(m_captions.value(entry));
    }
    captions = withAccessKeys(captions);
    for (qsizetype i = 0; i < entries.size(); ++i)
        entries.at(i)->setText(captions.at(i));
}

void MainWindow::openMenu(const QPoint &globalPos)
{
    m_listEdit->setFocus();
    m_contextMenu->popup(globalPos);
}

void MainWindow::updateEditActions()
{
    const bool focused = m_listEdit->hasFocus();
    const QMimeData *clipboard = QGuiApplication::clipboard()->mimeData();
    m_selectAllAction->setEnabled(focused && !m_listEdit->isEmpty());
    m_pasteAction->setEnabled(focused && clipboard && clipboard->hasText());
    m_copyAction->setEnabled(focused && m_listEdit->hasSelection());
}

// The text area's own copy, run here so that running out of memory reaches the error box.
// An empty selection leaves the clipboard alone.
void MainWindow::copySelection()
{
    if (!m_listEdit->hasSelection())
        return;
    QGuiApplication::clipboard()->setMimeData(m_listEdit->createMimeDataFromSelection());
}

void MainWindow::setTitle(const QString &title)
{
    // "[*]" is the placeholder of the modified mark; doubled, it stays as typed.
    QString escaped = title;
    setWindowTitle(escaped.replace(QLatin1String("[*]"), QLatin1String("[*][*]")));
}

// In this order: the caption, the placement, the options, then the file dropped last
// time, extracted when "Extraction automatique" is on. An error skips the steps after it.
// A file to open takes the place of the one remembered, and is remembered in its turn
// under its full path, since the next start may run from another folder.
void MainWindow::restoreSession(const QString &fileToOpen)
{
    setWindowTitle(ProgramIdentity().caption(QString()));
    const Profile profile;
    restorePlacement(this, profile);
    restoreOptions(this, profile);
    if (!fileToOpen.isEmpty()) {
        const QString fileName = fullPath(fileToOpen);
        loadFile(fileName, ReplaceMode::NotRecorded, [&fileName] { rememberFile(fileName); });
        return;
    }
    const QString fileName = profile.value(importSection, importKey);
    if (fileExistsAt(fileName))
        loadFile(fileName, ReplaceMode::NotRecorded);
}

void MainWindow::storeSession()
{
    Profile profile;
    savePlacement(this, profile);
    saveOptions(this, profile);
}

// Loads fileName into the list. With "Extraction automatique" on, the addresses are
// extracted straight from the file: that gives the list that loading it and running
// "Extraire" would give, without putting the whole text into the area first. remember runs
// once the file has been read and before the addresses go in; when it fails, the list
// holds the file's lines, as when "Extraire" has not run. The file is read and decoded
// before the list is touched, so a failure or a cancel changes nothing. A drop can be
// undone (mode), as "Extraire" and "Trier la liste" can: Ctrl+Z brings the list back as it
// was before.
void MainWindow::loadFile(const QString &fileName, ReplaceMode mode,
                          const std::function<void()> &remember)
{
    ProgressGuard guard(this);
    if (!m_autoExtractEntry->isChecked()) {
        const Progress progress = guard.step(readingLabel);
        RawTextFile file = readListFile(fileName, halfOf(progress, 0));
        QStringList paragraphs = decodeParagraphs(file, halfOf(progress, 1));
        m_listEncoding = savedEncoding(file.encoding);
        file = RawTextFile();
        m_listEdit->loadParagraphs(std::move(paragraphs), mode);
        if (remember)
            remember();
        return;
    }

    RawTextFile file = readListFile(fileName, guard.step(readingLabel));
    const QStringList addresses =
            addressesInFile(file, guard.step(extractingLabel), extractionOptions());
    if (remember) {
        try {
            remember();
        } catch (...) {
            m_listEncoding = savedEncoding(file.encoding);
            m_listEdit->loadParagraphs(decodeParagraphs(file), mode);
            throw;
        }
    }
    // Freed before the area takes the list, which is when memory use peaks.
    file = RawTextFile();
    m_listEncoding = TextEncoding::System;
    m_listEdit->setLines(addresses, mode);
}

void MainWindow::endSession()
{
    m_sessionEnding = true;
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (m_sessionEnding || runHandler([this] { storeSession(); }))
        event->accept();
    else
        event->ignore();
}

void MainWindow::saveList()
{
    runHandler([this] {
        m_saveDialog->setWindowTitle(QStringLiteral("Enregistrer la liste des Adresses"));
        m_saveDialog->selectFile(QStringLiteral("ADRESSES"));
        m_saveDialog->setDefaultSuffix(QStringLiteral("TXT"));
        const int answer = m_saveDialog->exec();
        returnFromDialog();
        if (answer != QDialog::Accepted)
            return;
        ProgressGuard guard(this);
        writeTextFile(m_saveDialog->selectedFiles().constFirst(), m_listEdit->textWithCrLf(),
                      m_listEncoding, guard.step(savingLabel));
    });
}

// A name confirmed while the dialog's completion list is open leaves that list over the
// window, where it would take the next click, and the window manager may leave the focus
// elsewhere: the list's keys and the edit entries would then do nothing.
void MainWindow::returnFromDialog()
{
    const QList<QCompleter *> completers = m_saveDialog->findChildren<QCompleter *>();
    for (QCompleter *completer : completers) {
        if (completer->popup())
            completer->popup()->hide();
    }
    activateWindow();
    m_listEdit->setFocus();
}

void MainWindow::copyList()
{
    runHandler([this] {
        m_listEdit->setFocus();
        m_listEdit->selectAll();
        copySelection();
        showMessage(QStringLiteral("Copié"));
    });
}

// The remembered encoding stays: a sorted list is saved as the loaded file was.
void MainWindow::sortList()
{
    runHandler([this] {
        ProgressGuard guard(this);
        QStringList lines = m_listEdit->lines();
        sortLines(lines, guard.step(sortingLabel));
        m_listEdit->setLines(lines, ReplaceMode::Undoable);
    });
}

// The whole text read at once gives the fields that reading it line by line gives.
void MainWindow::extract()
{
    runHandler([this] {
        ProgressGuard guard(this);
        const QStringList addresses = addressesInText(
                m_listEdit->text(), guard.step(extractingLabel), extractionOptions());
        m_listEncoding = TextEncoding::System;
        m_listEdit->setLines(addresses, ReplaceMode::Undoable);
    });
}

// A drop that comes while a long operation runs, such as the load of the drop before it,
// waits for its end.
void MainWindow::loadDroppedFile(const QStringList &files)
{
    runHandler([&] {
        if (ProgressGuard::active())
            QTimer::singleShot(dropRetryDelay, this, [this, files] { loadDroppedFile(files); });
        else
            handleDrop(files);
    });
}

// Only the first file is loaded and remembered. A failed load changes nothing, so a file
// that cannot be read leaves the list as it was and the profile still names the file
// dropped before.
void MainWindow::handleDrop(const QStringList &files)
{
    if (files.isEmpty())
        return;
    const QString &fileName = files.constFirst();
    loadFile(fileName, ReplaceMode::Undoable, [&fileName] { rememberFile(fileName); });
}

ExtractionOptions MainWindow::extractionOptions() const
{
    return { m_cleanEntry->isChecked(), m_uniqueEntry->isChecked() };
}

// A name that the profile cannot hold, with a line break or a U+0000 in it, would be read
// back as another name: it is not remembered, and the entry names the file before it.
void MainWindow::rememberFile(const QString &fileName)
{
    if (!Profile::canHold(fileName))
        return;
    Profile().setValue(importSection, importKey, fileName);
}

void MainWindow::showClickedRow()
{
    setTitle(m_listEdit->caretRowText());
}

QAction *MainWindow::entryForShortcut(const QKeyEvent *event) const
{
    const QKeySequence key(event->keyCombination());
    const QList<QAction *> entries = m_contextMenu->actions();
    for (QAction *entry : entries) {
        if (!entry->shortcut().isEmpty() && entry->shortcut() == key)
            return entry;
    }
    return nullptr;
}

// Keys reach the text area's menu before the area: the entries' shortcuts run their
// action when it is enabled and are swallowed either way; Shift+F10 opens the menu.
bool MainWindow::filterListEditEvent(QEvent *event)
{
    switch (event->type()) {
    case QEvent::ShortcutOverride:
    case QEvent::KeyPress: {
        auto *keyEvent = static_cast<QKeyEvent *>(event);
        if (QAction *entry = entryForShortcut(keyEvent)) {
            if (event->type() == QEvent::KeyPress) {
                updateEditActions();
                if (entry->isEnabled())
                    entry->trigger();
            }
            event->accept();
            return true;
        }
        if (event->type() == QEvent::KeyPress && keyEvent->key() == Qt::Key_F10
            && keyEvent->modifiers() == Qt::ShiftModifier) {
            openMenu(m_listEdit->viewport()->mapToGlobal(QPoint(0, 0)));
            return true;
        }
        return false;
    }
    case QEvent::ContextMenu: {
        auto *menuEvent = static_cast<QContextMenuEvent *>(event);
        openMenu(menuEvent->reason() == QContextMenuEvent::Keyboard
                         ? m_listEdit->viewport()->mapToGlobal(QPoint(0, 0))
                         : menuEvent->globalPos());
        return true;
    }
    default:
        return false;
    }
}

// The line click runs once the text area has placed the caret for the release, so the
// release is handed to the area first. The second click of a double click does not run
// it again.
bool MainWindow::filterViewportEvent(QMouseEvent *event)
{
    if (!isPrimaryButton(event))
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        m_clickPending = true;
        return false;
    case QEvent::MouseButtonDblClick:
        m_clickPending = false;
        return false;
    case QEvent::MouseButtonRelease: {
        if (!m_clickPending)
            return false;
        m_clickPending = false;
        {
            const QScopedValueRollback forwarding(m_forwardingRelease, true);
            QCoreApplication::sendEvent(m_listEdit->viewport(), event);
        }
        if (m_listEdit->viewport()->rect().contains(event->position().toPoint()))
            runHandler([this] { showClickedRow(); });
        return true;
    }
    default:
        return false;
    }
}

// An event whose filtering failed is taken: the text area does not see it half handled.
bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    bool taken = true;
    runHandler([&] {
        if (watched == m_listEdit) {
            taken = filterListEditEvent(event);
            return;
        }
        if (watched == m_listEdit->viewport() && !m_forwardingRelease) {
            switch (event->type()) {
            case QEvent::ContextMenu:
                taken = filterListEditEvent(event);
                return;
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonDblClick:
            case QEvent::MouseButtonRelease:
                taken = filterViewportEvent(static_cast<QMouseEvent *>(event));
                return;
            default:
                break;
            }
        }
        taken = QWidget::eventFilter(watched, event);
    });
    return taken;
}
