#include "app/unit1.h"

#include "app/accesskeys.h"
#include "app/errorbox.h"
#include "app/imagelist.h"
#include "app/mainicon.h"
#include "app/progressguard.h"
#include "app/tooltipstyle.h"
#include "drop/tjvdragdrop.h"
#include "extract/extraction.h"
#include "settings/kesto_ini.h"
#include "settings/kesto_iniwidgets.h"
#include "worklist/kesto_memo.h"
#include "worklist/memoedit.h"
#include "worklist/textfile.h"
#include "worklist/tstringlist.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QMenu>
#include <QMimeData>
#include <QScopedValueRollback>
#include <QTimer>
#include <QVBoxLayout>

namespace {

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

// The addresses that loading file into the area and running Extract would give. The bytes
// of a UTF-8 file are scanned as they stand, unless they hold a character that the area
// takes as a line break.
QStringList addressesOfFile(const RawTextFile &file, const Progress &progress)
{
    const bool utf8 = file.encoding == TEncoding::UTF8 || file.encoding == TEncoding::ANSI;
    if (utf8 && !TMemoStrings::mayHoldAreaBreaks(QByteArrayView(file.bytes).sliced(file.bodyStart)))
        return extractAddressesFromFile(file, progress);
    return extractAddressesFromText(TMemoStrings::withAreaBreaks(decodeText(file, progress)),
                                    progress);
}

bool isPrimaryButton(const QMouseEvent *event)
{
    return event->button() == Qt::LeftButton;
}

} // namespace

TForm1::TForm1(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                      | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Adrelio"));
    setWindowIcon(mainIcon());
    setFont(windowFont());
    resize(600, 394);

    ImageList1 = new ImageList(this);
    ImageList1->setObjectName(QStringLiteral("ImageList1"));

    Memo1 = new MemoEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->addPlaceholderLine();
    Memo1->setToolTip(QStringLiteral("Menu = Clic Droit"));
    Memo1->setToolTipDuration(2500);
    // The tooltip's delay is asked from the style of the widget under the pointer, which
    // is the viewport.
    auto *style = new ToolTipStyle(QApplication::style()->name());
    style->setParent(this);
    Memo1->setStyle(style);
    Memo1->viewport()->setStyle(style);
    // The selection shows only while the area has the focus.
    QPalette palette = Memo1->palette();
    palette.setColor(QPalette::Inactive, QPalette::Highlight, palette.color(QPalette::Base));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText, palette.color(QPalette::Text));
    Memo1->setPalette(palette);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Memo1);

    SaveDialog1 = new QFileDialog(this);
    SaveDialog1->setObjectName(QStringLiteral("SaveDialog1"));
    SaveDialog1->setAcceptMode(QFileDialog::AcceptSave);
    SaveDialog1->setFileMode(QFileDialog::AnyFile);
    SaveDialog1->setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite);

    createActions();
    createMenu();

    Memo1->installEventFilter(this);
    Memo1->viewport()->installEventFilter(this);
    Memo1->setFocus();

    JvDragDrop1 = new TJvDragDrop(this);
    JvDragDrop1->setObjectName(QStringLiteral("JvDragDrop1"));
    JvDragDrop1->SetDropTarget(Memo1);
    // The drop is taken at once and the file loaded afterwards, so that the file manager
    // that sent it does not wait for the load.
    connect(JvDragDrop1, &TJvDragDrop::OnDrop, this, &TForm1::handleDrop, Qt::QueuedConnection);

    connect(qApp, &QGuiApplication::commitDataRequest, this, &TForm1::endSession);

    runHandler([this] { FormCreate(); });
}

QAction *TForm1::addAction(const char *name, const QString &category, const QString &caption,
                           const QString &hint, int image, const QKeySequence &shortcut)
{
    auto *action = new QAction(caption, ActionList1);
    action->setObjectName(QLatin1String(name));
    action->setProperty("category", category);
    // A hint holds a short part for tooltips and a long part for a status line.
    if (!hint.isEmpty()) {
        action->setToolTip(hint.section(QLatin1Char('|'), 0, 0));
        action->setStatusTip(hint.section(QLatin1Char('|'), 1));
    }
    if (image >= 0)
        action->setIcon(ImageList1->icon(image));
    action->setShortcut(shortcut);
    return action;
}

void TForm1::createActions()
{
    ActionList1 = new QObject(this);
    ActionList1->setObjectName(QStringLiteral("ActionList1"));

    const QString fichier = QStringLiteral("Fichier");
    const QString edition = QStringLiteral("Edition");
    Extract = addAction("Extract", fichier, QStringLiteral("Extraire"), QString(), -1, {});
    FichierFileExit1 = addAction("FichierFileExit1", fichier, QStringLiteral("&Quitter"),
                                 QStringLiteral("Quitter|Quitte l'application"),
                                 ImageList::Exit, {});
    EditionEditCopy1 = addAction(
            "EditionEditCopy1", edition, QStringLiteral("C&opier"),
            QStringLiteral("Copier|Copie la sélection et la place dans le Presse-papiers"),
            ImageList::Copy, QKeySequence(Qt::CTRL | Qt::Key_C));
    EditionEditPaste1 = addAction("EditionEditPaste1", edition, QStringLiteral("Co&ller"),
                                  QStringLiteral("Coller|Insère le contenu du Presse-papiers"),
                                  ImageList::Floppy, QKeySequence(Qt::CTRL | Qt::Key_V));
    EditionEditSelectAll1 = addAction(
            "EditionEditSelectAll1", edition, QStringLiteral("&Tout sélectionner"),
            QStringLiteral("Tout sélectionner|Sélectionne l'intégralité du document"), -1,
            QKeySequence(Qt::CTRL | Qt::Key_A));

    connect(Extract, &QAction::triggered, this, [this] { runHandler([this] { ExtractExecute(); }); });
    connect(FichierFileExit1, &QAction::triggered, this, &QWidget::close);
    connect(EditionEditCopy1, &QAction::triggered, this,
            [this] { runHandler([this] { copySelection(); }); });
    connect(EditionEditPaste1, &QAction::triggered, Memo1, &MemoEdit::paste);
    connect(EditionEditSelectAll1, &QAction::triggered, Memo1, &MemoEdit::selectAll);
}

QAction *TForm1::addEntry(const char *name, const QString &caption, int image)
{
    auto *entry = PopupMenu1->addAction(caption);
    entry->setObjectName(QLatin1String(name));
    if (image >= 0)
        entry->setIcon(ImageList1->icon(image));
    m_captions.insert(entry, caption);
    return entry;
}

// An entry bound to an action shows the action's caption, image, shortcut and enabled
// state, and choosing it executes the action.
QAction *TForm1::addEntry(const char *name, QAction *action)
{
    auto *entry = addEntry(name, action->text());
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
    connect(action, &QAction::changed, entry, update);
    connect(entry, &QAction::triggered, action, &QAction::trigger);
    return entry;
}

void TForm1::addSeparator(const char *name)
{
    PopupMenu1->addSeparator()->setObjectName(QLatin1String(name));
}

void TForm1::createMenu()
{
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));

    Adrelio = addEntry("Adrelio", Extract);
    addSeparator("N4");
    Enregistrer1 = addEntry("Enregistrer1", QStringLiteral("Enregistrer ..."), ImageList::Floppy);
    COPY = addEntry("COPY", QStringLiteral("Copier la liste dans le presse papier "),
                    ImageList::Clipboard);
    SORT = addEntry("SORT", QStringLiteral("Trier la liste"));
    addSeparator("N5");
    chk_AUTO = addEntry("chk_AUTO", QStringLiteral("Extraction automatique"));
    chk_AUTO->setCheckable(true);
    chk_AUTO->setChecked(true);
    addSeparator("N3");
    outslectionner1 = addEntry("outslectionner1", EditionEditSelectAll1);
    Coller1 = addEntry("Coller1", EditionEditPaste1);
    N1 = addEntry("N1", EditionEditCopy1);
    addSeparator("N2");
    Quitter1 = addEntry("Quitter1", FichierFileExit1);

    connect(Enregistrer1, &QAction::triggered, this,
            [this] { runHandler([this] { Enregistrer1Click(); }); });
    connect(COPY, &QAction::triggered, this, [this] { runHandler([this] { COPYClick(); }); });
    connect(SORT, &QAction::triggered, this, [this] { runHandler([this] { SORTClick(); }); });
    connect(PopupMenu1, &QMenu::aboutToShow, this, &TForm1::prepareMenu);
    prepareMenu();
}

void TForm1::prepareMenu()
{
    updateEditActions();
    QList<QAction *> entries;
    QStringList captions;
    const QList<QAction *> actions = PopupMenu1->actions();
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

void TForm1::openMenu(const QPoint &globalPos)
{
    Memo1->setFocus();
    PopupMenu1->popup(globalPos);
}

void TForm1::updateEditActions()
{
    const bool focused = Memo1->hasFocus();
    const QMimeData *clipboard = QGuiApplication::clipboard()->mimeData();
    EditionEditSelectAll1->setEnabled(focused && !Memo1->document()->isEmpty());
    EditionEditPaste1->setEnabled(focused && clipboard && clipboard->hasText());
    EditionEditCopy1->setEnabled(focused && Memo1->textCursor().hasSelection());
}

// The text area's own copy, run here so that running out of memory reaches the error box.
// An empty selection leaves the clipboard alone.
void TForm1::copySelection()
{
    if (!Memo1->textCursor().hasSelection())
        return;
    QGuiApplication::clipboard()->setMimeData(Memo1->createMimeDataFromSelection());
}

void TForm1::setTitle(const QString &title)
{
    // "[*]" is the placeholder of the modified mark; doubled, it stays as typed.
    QString escaped = title;
    setWindowTitle(escaped.replace(QLatin1String("[*]"), QLatin1String("[*][*]")));
}

void TForm1::FormCreate()
{
    setWindowTitle(App_Caption(QString()));
    GetPosition(this, QString());
    GetComponents(this, QString());
    const QString fileName = GetStr(importSection, importKey, QString(), QString());
    if (fileExistsAt(fileName))
        loadFile(fileName);
}

// Loads fileName into the list. With "Extraction automatique" on, the addresses are
// extracted straight from the file: that gives the list that loading it and running
// Extract would give, without putting the whole text into the area first. remember runs
// once the file has been read and before the addresses go in; when it fails, the list
// holds the file's lines, as when Extract has not run.
void TForm1::loadFile(const QString &fileName, const std::function<void()> &remember)
{
    ProgressGuard guard(Memo1);
    TMemoStrings *lines = Memo1->Lines();
    if (!chk_AUTO->isChecked()) {
        lines->LoadFromFile(fileName, guard.step(readingLabel));
        if (remember)
            remember();
        return;
    }

    RawTextFile file = readTextFile(fileName, lines->DefaultEncoding(), guard.step(readingLabel));
    const TStringList addresses(addressesOfFile(file, guard.step(extractingLabel)));
    if (remember) {
        try {
            remember();
        } catch (...) {
            lines->LoadFromRawFile(file);
            throw;
        }
    }
    // Freed before the area takes the list, which is when memory use peaks.
    file = RawTextFile();
    lines->Assign(addresses);
}

void TForm1::FormClose()
{
    SavePosition(this, QString());
    SaveComponents(this, QString());
}

void TForm1::endSession()
{
    m_sessionEnding = true;
}

void TForm1::closeEvent(QCloseEvent *event)
{
    if (m_sessionEnding || runHandler([this] { FormClose(); }))
        event->accept();
    else
        event->ignore();
}

void TForm1::Enregistrer1Click()
{
    SaveDialog1->setWindowTitle(QStringLiteral("Enregistrer la liste des Adresses"));
    SaveDialog1->selectFile(QStringLiteral("ADRESSES"));
    SaveDialog1->setDefaultSuffix(QStringLiteral("TXT"));
    if (SaveDialog1->exec() != QDialog::Accepted)
        return;
    ProgressGuard guard(Memo1);
    Memo1->Lines()->SaveToFile(SaveDialog1->selectedFiles().constFirst(), guard.step(savingLabel));
}

void TForm1::COPYClick()
{
    Memo1->setFocus();
    Memo1->selectAll();
    copySelection();
    sm(QStringLiteral("Copié"));
}

void TForm1::SORTClick()
{
    ProgressGuard guard(Memo1);
    MEMO_Sort(Memo1, guard.step(sortingLabel));
}

// The whole text read at once gives the fields that reading it line by line gives.
void TForm1::ExtractExecute()
{
    ProgressGuard guard(Memo1);
    TMemoStrings *lines = Memo1->Lines();
    const TStringList addresses(
            extractAddressesFromText(lines->textWithLineFeeds(), guard.step(extractingLabel)));
    lines->Assign(addresses);
}

// A drop that comes while a long operation runs, such as the load of the drop before it,
// waits for its end.
void TForm1::handleDrop(TJvDragDrop *sender, QPoint pos, const QStringList &files)
{
    if (ProgressGuard::active()) {
        QTimer::singleShot(dropRetryDelay, this, [this, sender, pos, files] {
            handleDrop(sender, pos, files);
        });
        return;
    }
    runHandler([&] { JvDragDrop1Drop(sender, pos, files); });
}

void TForm1::Memo1Click()
{
    setTitle(caretRowText(Memo1));
}

// A failed load changes nothing, so a file that cannot be read leaves the list as it was
// and the profile still names the file dropped before.
void TForm1::JvDragDrop1Drop(TJvDragDrop *, QPoint, const QStringList &value)
{
    if (value.isEmpty())
        return;
    const QString &fileName = value.constFirst();
    loadFile(fileName, [&fileName] { SaveStr(importSection, importKey, fileName, QString()); });
}

QAction *TForm1::entryForShortcut(const QKeyEvent *event) const
{
    const QKeySequence key(event->keyCombination());
    const QList<QAction *> entries = PopupMenu1->actions();
    for (QAction *entry : entries) {
        if (!entry->shortcut().isEmpty() && entry->shortcut() == key)
            return entry;
    }
    return nullptr;
}

// Keys reach the text area's menu before the area: the entries' shortcuts run their
// action when it is enabled and are swallowed either way; Shift+F10 opens the menu.
bool TForm1::filterMemoEvent(QEvent *event)
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
            openMenu(Memo1->viewport()->mapToGlobal(QPoint(0, 0)));
            return true;
        }
        return false;
    }
    case QEvent::ContextMenu: {
        auto *menuEvent = static_cast<QContextMenuEvent *>(event);
        openMenu(menuEvent->reason() == QContextMenuEvent::Keyboard
                         ? Memo1->viewport()->mapToGlobal(QPoint(0, 0))
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
bool TForm1::filterViewportEvent(QMouseEvent *event)
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
            QCoreApplication::sendEvent(Memo1->viewport(), event);
        }
        if (Memo1->viewport()->rect().contains(event->position().toPoint()))
            runHandler([this] { Memo1Click(); });
        return true;
    }
    default:
        return false;
    }
}

bool TForm1::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Memo1)
        return filterMemoEvent(event);
    if (watched == Memo1->viewport() && !m_forwardingRelease) {
        switch (event->type()) {
        case QEvent::ContextMenu:
            return filterMemoEvent(event);
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseButtonRelease:
            return filterViewportEvent(static_cast<QMouseEvent *>(event));
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}
