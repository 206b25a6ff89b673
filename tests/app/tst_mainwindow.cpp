#include "app/imagelist.h"
#include "app/mainwindow.h"
#include "drop/filedroptarget.h"
#include "settings/identity.h"
#include "support/testsupport.h"
#include "support/windowdriver.h"
#include "textarea/listedit.h"

#include <QAction>
#include <QClipboard>
#include <QFileDialog>
#include <QFontDatabase>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyle>
#include <QTest>
#include <QWindow>

using namespace Qt::Literals::StringLiterals;

// The image column of an action or entry that shows none.
constexpr int noImage = -1;

// How the user opens the context menu.
enum class MenuOpening { SecondaryButton, MenuKey, ShiftF10 };
Q_DECLARE_METATYPE(MenuOpening)

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void layout();
    void actions_data();
    void actions();
    void menuEntries();
    void images();
    void menuOpens_data();
    void menuOpens();
    void enabledStates_data();
    void enabledStates();
    void shortcutKeys();
    void extractAndSort();
    void commandsCanBeUndone_data();
    void commandsCanBeUndone();
    void toggleOption();
    void copyList_data();
    void copyList();
    void save();
    void saveFailureLeavesWindowWorking();
    void lineClick();
    void lineClickSpecialRows();
    void quitCloses();

private:
    void createShownWindow();
    QAction *entry(const QString &id) const { return m_driver->action(id); }
    void setText(const QString &text) { m_driver->setText(text); }
    void openMenu();
    void triggerFromMenu(const QString &id) { QVERIFY(m_driver->chooseFromMenu(id)); }
    QString saveThroughDialog(const std::function<void(QFileDialog *)> &answer);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<WindowDriver> m_driver;
    MainWindow *m_window = nullptr;
    ListEdit *m_listEdit = nullptr;
    QMenu *m_menu = nullptr;
};

void TestMainWindow::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    removeProfile();
    QGuiApplication::clipboard()->clear();
}

void TestMainWindow::cleanup()
{
    m_driver.reset();
    removeProfile();
    m_dir.reset();
}

void TestMainWindow::createShownWindow()
{
    m_driver = std::make_unique<WindowDriver>();
    m_window = m_driver->window();
    m_listEdit = m_driver->listEdit();
    m_menu = m_driver->menu();
    QVERIFY(m_menu);
    m_driver->show();
    QVERIFY(m_listEdit->hasFocus());
}

void TestMainWindow::openMenu()
{
    m_driver->openMenu();
    QVERIFY(m_menu->isVisible());
}

void TestMainWindow::layout()
{
    WindowDriver driver;
    QVERIFY(driver.errors().isEmpty());
    MainWindow &form = *driver.window();

    QCOMPARE(form.objectName(), QStringLiteral("Form1"));
    const Qt::WindowFlags flags = form.windowFlags();
    QCOMPARE(flags & Qt::WindowType_Mask, Qt::Window);
    QVERIFY(flags.testFlags(Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint));
    QVERIFY(!flags.testAnyFlags(Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    QCOMPARE(form.size(), QSize(600, 394));
    QCOMPARE(form.windowTitle(), ProgramIdentity().caption(QString()));
    QVERIFY(!form.windowIcon().isNull());

    QCOMPARE(form.font().pointSize(), 8);
    const QString family = QFontDatabase::families().contains(QStringLiteral("Tahoma"))
            ? QStringLiteral("Tahoma")
            : QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
    QCOMPARE(form.font().family(), family);

    ListEdit *listEdit = driver.listEdit();
    QVERIFY(listEdit);
    QCOMPARE(listEdit->font(), form.font());
    QCOMPARE(listEdit->lineCount(), 1);
    QCOMPARE(listEdit->line(0), placeholderLine);
    QCOMPARE(listEdit->toolTip(), QStringLiteral("Menu = Clic Droit"));
    QCOMPARE(listEdit->toolTipDuration(), 2500);
    QCOMPARE(listEdit->viewport()->style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay, nullptr, listEdit->viewport()), 500);

    QVERIFY(form.findChild<QMenu *>(QStringLiteral("PopupMenu1")));
    QVERIFY(form.findChild<QObject *>(QStringLiteral("ActionList1")));
    auto *images = form.findChild<ImageList *>(QStringLiteral("ImageList1"));
    QVERIFY(images);
    QCOMPARE(images->count(), 4);
    auto *dialog = form.findChild<QFileDialog *>(QStringLiteral("SaveDialog1"));
    QVERIFY(dialog);
    auto *drop = form.findChild<FileDropTarget *>(QStringLiteral("JvDragDrop1"));
    QVERIFY(drop);
    QCOMPARE(drop->target(), listEdit);

    // The text area fills the window and follows its size.
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(listEdit->geometry(), form.rect());
    form.resize(200, 120);
    QTRY_COMPARE(listEdit->geometry(), form.rect());
    QCOMPARE(listEdit->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

void TestMainWindow::actions_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("category");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("shortHint");
    QTest::addColumn<QString>("longHint");
    QTest::addColumn<int>("image");
    QTest::addColumn<QKeySequence>("shortcut");

    QTest::newRow("Extract") << "Extract" << "Fichier" << "Extraire" << "Extraire" << ""
                             << noImage << QKeySequence();
    QTest::newRow("FichierFileExit1") << "FichierFileExit1" << "Fichier" << "&Quitter"
                                      << "Quitter" << "Quitte l'application"
                                      << int(ImageList::Exit) << QKeySequence();
    QTest::newRow("EditionEditCopy1")
            << "EditionEditCopy1" << "Edition" << "C&opier" << "Copier"
            << "Copie la sélection et la place dans le Presse-papiers" << int(ImageList::Copy)
            << QKeySequence(Qt::CTRL | Qt::Key_C);
    QTest::newRow("EditionEditPaste1")
            << "EditionEditPaste1" << "Edition" << "Co&ller" << "Coller"
            << "Insère le contenu du Presse-papiers" << int(ImageList::Floppy)
            << QKeySequence(Qt::CTRL | Qt::Key_V);
    QTest::newRow("EditionEditSelectAll1")
            << "EditionEditSelectAll1" << "Edition" << "&Tout sélectionner" << "Tout sélectionner"
            << "Sélectionne l'intégralité du document" << noImage << QKeySequence(Qt::CTRL | Qt::Key_A);
}

void TestMainWindow::actions()
{
    QFETCH(QString, name);
    QFETCH(QString, category);
    QFETCH(QString, caption);
    QFETCH(QString, shortHint);
    QFETCH(QString, longHint);
    QFETCH(int, image);
    QFETCH(QKeySequence, shortcut);

    WindowDriver driver;
    MainWindow &form = *driver.window();
    auto *list = form.findChild<QObject *>(QStringLiteral("ActionList1"));
    auto *action = list->findChild<QAction *>(name);
    QVERIFY(action);
    QCOMPARE(action->property("category").toString(), category);
    QCOMPARE(action->text(), caption);
    QCOMPARE(action->toolTip(), shortHint);
    QCOMPARE(action->statusTip(), longHint);
    QCOMPARE(action->shortcut(), shortcut);
    if (image == noImage) {
        QVERIFY(action->icon().isNull());
    } else {
        const ImageList *images = form.findChild<ImageList *>(QStringLiteral("ImageList1"));
        QCOMPARE(action->icon().pixmap(16, 16).toImage(), images->pixmap(image).toImage());
    }
}

void TestMainWindow::menuEntries()
{
    createShownWindow();
    openMenu();

    struct Entry
    {
        const char *name;
        const char *caption;
        int image;
        QKeySequence shortcut;
    };
    // Separators have no caption.
    const Entry expected[] = {
        { "Adrelio", "&Extraire", noImage, {} },
        { "N4", nullptr, noImage, {} },
        { "Enregistrer1", "E&nregistrer ...", ImageList::Floppy, {} },
        { "COPY", "&Copier la liste dans le presse papier ", ImageList::Clipboard, {} },
        { "SORT", "T&rier la liste", noImage, {} },
        { "N5", nullptr, noImage, {} },
        { "chk_AUTO", "E&xtraction automatique", noImage, {} },
        { "chk_CLEAN", "&Adresses seules", noImage, {} },
        { "chk_UNIQUE", "&Sans doublons", noImage, {} },
        { "N3", nullptr, noImage, {} },
        { "outslectionner1", "&Tout sélectionner", noImage, QKeySequence(Qt::CTRL | Qt::Key_A) },
        { "Coller1", "Co&ller", ImageList::Floppy, QKeySequence(Qt::CTRL | Qt::Key_V) },
        { "N1", "C&opier", ImageList::Copy, QKeySequence(Qt::CTRL | Qt::Key_C) },
        { "N2", nullptr, noImage, {} },
        { "Quitter1", "&Quitter", ImageList::Exit, {} },
    };

    const QList<QAction *> entries = m_menu->actions();
    QCOMPARE(entries.size(), qsizetype(std::size(expected)));
    const ImageList *images = m_window->findChild<ImageList *>(QStringLiteral("ImageList1"));
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const QAction *action = entries.at(i);
        const Entry &e = expected[i];
        QCOMPARE(action->objectName(), QLatin1String(e.name));
        QCOMPARE(action->isSeparator(), e.caption == nullptr);
        if (!e.caption)
            continue;
        QCOMPARE(action->text(), QString::fromUtf8(e.caption));
        QCOMPARE(action->shortcut(), e.shortcut);
        QVERIFY(action->menu() == nullptr);
        if (e.image == noImage)
            QVERIFY(action->icon().isNull());
        else
            QCOMPARE(action->icon().pixmap(16, 16).toImage(), images->pixmap(e.image).toImage());
    }
    QVERIFY(entry(u"chk_AUTO"_s)->isCheckable());
    QVERIFY(entry(u"chk_AUTO"_s)->isChecked());
    for (const QString &option : { u"chk_CLEAN"_s, u"chk_UNIQUE"_s }) {
        QVERIFY(entry(option)->isCheckable());
        QVERIFY(!entry(option)->isChecked());
    }

    // Typing changes neither the entries nor their keys.
    m_menu->close();
    QTest::keyClicks(m_listEdit, QStringLiteral("Tout Rien"));
    openMenu();
    QCOMPARE(entry(u"SORT"_s)->text(), QStringLiteral("T&rier la liste"));
    QCOMPARE(entry(u"outslectionner1"_s)->text(), QStringLiteral("&Tout sélectionner"));
    m_menu->close();
}

void TestMainWindow::images()
{
    ImageList images;
    QCOMPARE(images.count(), 4);
    for (int i = 0; i < images.count(); ++i) {
        const QImage image = images.pixmap(i).toImage().convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(image.size(), QSize(16, 16));
        // Hard edges: every pixel is inside or outside the mask, and both kinds occur
        // except in the floppy, which fills its square.
        int outside = 0;
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                const int alpha = qAlpha(image.pixel(x, y));
                QVERIFY2(alpha == 0 || alpha == 255, qPrintable(QStringLiteral("image %1").arg(i)));
                outside += alpha == 0;
            }
        }
        QCOMPARE(outside > 0, i != ImageList::Floppy);
    }
}

void TestMainWindow::menuOpens_data()
{
    QTest::addColumn<MenuOpening>("how");
    QTest::addColumn<bool>("atTopLeft");

    QTest::newRow("secondary button") << MenuOpening::SecondaryButton << false;
    QTest::newRow("menu key") << MenuOpening::MenuKey << true;
    QTest::newRow("Shift+F10") << MenuOpening::ShiftF10 << true;
}

void TestMainWindow::menuOpens()
{
    QFETCH(MenuOpening, how);
    QFETCH(bool, atTopLeft);

    createShownWindow();
    QWidget *viewport = m_listEdit->viewport();
    const QPoint click(120, 90);
    // What the platform sends for the secondary button, on the widget under the pointer,
    // and for the menu key, on the widget with the focus.
    switch (how) {
    case MenuOpening::SecondaryButton: {
        QContextMenuEvent event(QContextMenuEvent::Mouse, click, viewport->mapToGlobal(click));
        QCoreApplication::sendEvent(viewport, &event);
        break;
    }
    case MenuOpening::MenuKey: {
        const QPoint caret = m_listEdit->caretRect().center();
        QContextMenuEvent event(QContextMenuEvent::Keyboard, caret, viewport->mapToGlobal(caret));
        QCoreApplication::sendEvent(m_listEdit, &event);
        break;
    }
    case MenuOpening::ShiftF10:
        QTest::keyClick(m_listEdit, Qt::Key_F10, Qt::ShiftModifier);
        break;
    }
    QTRY_VERIFY(m_menu->isVisible());
    QVERIFY(m_listEdit->hasFocus());
    QCOMPARE(m_menu->pos(), viewport->mapToGlobal(atTopLeft ? QPoint(0, 0) : click));
    m_menu->close();
}

void TestMainWindow::enabledStates_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("select");
    QTest::addColumn<bool>("clipboardText");
    QTest::addColumn<bool>("focused");
    QTest::addColumn<bool>("selectAll");
    QTest::addColumn<bool>("paste");
    QTest::addColumn<bool>("copy");

    QTest::newRow("nothing selected") << "a@b" << false << true << true << true << true << false;
    QTest::newRow("selection") << "a@b" << true << true << true << true << true << true;
    QTest::newRow("empty area") << "" << false << true << true << false << true << false;
    QTest::newRow("image on the clipboard") << "a@b" << true << false << true << true << false << true;
    QTest::newRow("no focus") << "a@b" << true << true << false << false << false << false;
}

void TestMainWindow::enabledStates()
{
    QFETCH(QString, text);
    QFETCH(bool, select);
    QFETCH(bool, clipboardText);
    QFETCH(bool, focused);
    QFETCH(bool, selectAll);
    QFETCH(bool, paste);
    QFETCH(bool, copy);

    createShownWindow();
    setText(text);
    if (select)
        m_listEdit->selectAll();
    auto *mimeData = new QMimeData;
    if (clipboardText) {
        mimeData->setText(QStringLiteral("x"));
    } else {
        QImage image(2, 2, QImage::Format_RGB32);
        image.fill(Qt::red);
        mimeData->setImageData(image);
    }
    QGuiApplication::clipboard()->setMimeData(mimeData);

    if (focused) {
        openMenu();
    } else {
        // The menu is prepared the same way whoever holds the focus.
        QWidget other;
        other.show();
        QApplication::setActiveWindow(&other);
        QVERIFY(QTest::qWaitForWindowActive(&other));
        QVERIFY(!m_listEdit->hasFocus());
        emit m_menu->aboutToShow();
    }
    QCOMPARE(entry(u"outslectionner1"_s)->isEnabled(), selectAll);
    QCOMPARE(entry(u"Coller1"_s)->isEnabled(), paste);
    QCOMPARE(entry(u"N1"_s)->isEnabled(), copy);
    QVERIFY(entry(u"Adrelio"_s)->isEnabled());
    QVERIFY(entry(u"Quitter1"_s)->isEnabled());
    m_menu->close();
}

void TestMainWindow::shortcutKeys()
{
    createShownWindow();
    QClipboard *clipboard = QGuiApplication::clipboard();
    setText(QStringLiteral("a@b\nc@d"));

    // Ctrl+C with nothing selected does nothing: the clipboard keeps its content.
    clipboard->setText(QStringLiteral("earlier"));
    QTest::keyClick(m_listEdit, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(clipboard->text(), QStringLiteral("earlier"));

    // Ctrl+A selects everything, and Ctrl+C copies it with CR LF breaks.
    QTest::keyClick(m_listEdit, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(m_listEdit->selectedText().size(), 7);
    QTest::keyClick(m_listEdit, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(clipboard->text(), QStringLiteral("a@b\r\nc@d"));

    // Ctrl+V replaces the selection by the clipboard's text, one break per CR LF.
    clipboard->setText(QStringLiteral("x@y\r\nz@w"));
    QTest::keyClick(m_listEdit, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(m_listEdit->textWithCrLf(), QStringLiteral("x@y\r\nz@w"));

    // With no text on the clipboard Ctrl+V is disabled and the key goes nowhere.
    auto *mimeData = new QMimeData;
    mimeData->setData(QStringLiteral("application/octet-stream"), "\x01");
    clipboard->setMimeData(mimeData);
    QTest::keyClick(m_listEdit, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(m_listEdit->textWithCrLf(), QStringLiteral("x@y\r\nz@w"));

    // Other keys reach the text area: its own cut works.
    m_listEdit->selectAll();
    QTest::keyClick(m_listEdit, Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(m_listEdit->textWithCrLf(), QString());
}

void TestMainWindow::extractAndSort()
{
    createShownWindow();
    setText(QStringLiteral("x, y@z,,\"w v@u\"\nB@c a@a\nb@b"));
    triggerFromMenu(u"Adrelio"_s);
    QCOMPARE(m_listEdit->textWithCrLf(), QStringLiteral("y@z\r\nw v@u\r\nB@c\r\na@a\r\nb@b\r\n"));

    triggerFromMenu(u"SORT"_s);
    QCOMPARE(m_listEdit->textWithCrLf(), QStringLiteral("a@a\r\nb@b\r\nB@c\r\nw v@u\r\ny@z\r\n"));
}

// What the user did before a command that replaces the whole list.
enum class ListCommand { Extract, Sort, DropExtracted, DropShown };
Q_DECLARE_METATYPE(ListCommand)

void TestMainWindow::commandsCanBeUndone_data()
{
    QTest::addColumn<ListCommand>("command");
    QTest::addColumn<QString>("after");

    QTest::newRow("Extraire") << ListCommand::Extract << "b@c\na@x\n";
    QTest::newRow("Trier la liste") << ListCommand::Sort << "tapé b@c\nz a@x\n";
    QTest::newRow("drop, option on") << ListCommand::DropExtracted << "d@e\n";
    QTest::newRow("drop, option off") << ListCommand::DropShown << "fichier d@e\n";
}

// Ctrl+Z brings back the text typed or pasted before the command, Ctrl+Shift+Z and
// Ctrl+Y the command's list.
void TestMainWindow::commandsCanBeUndone()
{
    QFETCH(ListCommand, command);
    QFETCH(QString, after);

    createShownWindow();
    m_driver->setText(QString());
    QGuiApplication::clipboard()->setText(QStringLiteral("é b@c\nz a@x\n"));
    QTest::keyClicks(m_listEdit, QStringLiteral("tap"));
    QTest::keyClick(m_listEdit, Qt::Key_V, Qt::ControlModifier);
    const QString before = m_driver->text();
    QCOMPARE(before, QStringLiteral("tapé b@c\nz a@x\n"));

    const QString file = writeFile(m_dir->path(), QStringLiteral("liste.txt"), "fichier d@e\n");
    switch (command) {
    case ListCommand::Extract:
        m_driver->extract();
        break;
    case ListCommand::Sort:
        m_driver->sort();
        break;
    case ListCommand::DropExtracted:
    case ListCommand::DropShown:
        m_driver->setAutoExtract(command == ListCommand::DropExtracted);
        QVERIFY(m_driver->drop(file));
        break;
    }
    QCOMPARE(m_driver->text(), after);

    QTest::keyClick(m_listEdit, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(m_driver->text(), before);
    QTest::keyClick(m_listEdit, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(m_driver->text(), after);
    QTest::keyClick(m_listEdit, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(m_driver->text(), before);
    QTest::keyClick(m_listEdit, Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(m_driver->text(), after);
}

void TestMainWindow::toggleOption()
{
    createShownWindow();
    QAction *option = entry(u"chk_AUTO"_s);
    triggerFromMenu(u"chk_AUTO"_s);
    QVERIFY(!option->isChecked());
    triggerFromMenu(u"chk_AUTO"_s);
    QVERIFY(option->isChecked());
}

void TestMainWindow::copyList_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("clipboard");

    QTest::newRow("three lines") << "a@b\nc@d\ne@f" << "a@b\r\nc@d\r\ne@f";
    QTest::newRow("final break") << "a@b\n" << "a@b\r\n";
    QTest::newRow("empty area") << "" << "earlier";
}

void TestMainWindow::copyList()
{
    QFETCH(QString, text);
    QFETCH(QString, clipboard);

    createShownWindow();
    setText(text);
    QGuiApplication::clipboard()->setText(QStringLiteral("earlier"));
    QString shown;
    QString caption;
    whenModalOpens(this, [&](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        QVERIFY(box);
        shown = box->text();
        caption = box->windowTitle();
        box->accept();
    });
    triggerFromMenu(u"COPY"_s);
    QTRY_COMPARE(shown, QStringLiteral("Copié"));
    QCOMPARE(caption, ProgramIdentity().title());
    QCOMPARE(QGuiApplication::clipboard()->text(), clipboard);
    QCOMPARE(m_window->focusWidget(), m_listEdit);
    QCOMPARE(m_listEdit->selectedText().size(), text.size());
}

static void typeFileName(QFileDialog *dialog, const QString &name)
{
    auto *nameEdit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    QVERIFY(nameEdit);
    nameEdit->setText(name);
}

// Saves through the dialog, answered by answer, and returns what the dialog showed.
QString TestMainWindow::saveThroughDialog(const std::function<void(QFileDialog *)> &answer)
{
    QString seen;
    whenModalOpens(this, [&](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        QVERIFY(dialog);
        QCOMPARE(dialog->objectName(), QStringLiteral("SaveDialog1"));
        const auto *nameEdit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        seen = dialog->windowTitle() + QLatin1Char('|') + (nameEdit ? nameEdit->text() : QString())
                + QLatin1Char('|') + dialog->defaultSuffix();
        answer(dialog);
    });
    triggerFromMenu(u"Enregistrer1"_s);
    return seen;
}

void TestMainWindow::save()
{
    createShownWindow();
    setText(QStringLiteral("a@b\nc@d"));
    const QString proposal = QStringLiteral("Enregistrer la liste des Adresses|ADRESSES|TXT");

    // The user types name in the folder shown, or keeps the proposal, and confirms.
    auto acceptIn = [this](const QString &name) {
        return [this, name](QFileDialog *dialog) {
            dialog->setDirectory(m_dir->path());
            if (!name.isEmpty())
                typeFileName(dialog, name);
            QMetaObject::invokeMethod(dialog, "accept");
        };
    };
    QCOMPARE(saveThroughDialog(acceptIn(QString())), proposal);
    const QString saved = m_dir->filePath(QStringLiteral("ADRESSES.TXT"));
    QCOMPARE(readFile(saved), QByteArray("\xEF\xBB\xBF" "a@b\r\nc@d"));

    // The dialog proposes ADRESSES again. Saving over it asks first: "Non" returns to the
    // dialog, "Oui" replaces the file.
    setText(QStringLiteral("e@f"));
    QCOMPARE(saveThroughDialog(acceptIn(QStringLiteral("autre"))), proposal);
    QStringList questions;
    auto answerQuestion = [this, &questions](QMessageBox::StandardButton button) {
        whenModalOpens(this, [&questions, button](QWidget *modal) {
            auto *box = qobject_cast<QMessageBox *>(modal);
            QVERIFY(box);
            questions << box->text();
            box->button(button)->click();
        });
    };
    QCOMPARE(saveThroughDialog([&](QFileDialog *dialog) {
                 dialog->setDirectory(m_dir->path());
                 answerQuestion(QMessageBox::No);
                 QMetaObject::invokeMethod(dialog, "accept");
                 QVERIFY(dialog->isVisible());
                 QCOMPARE(readFile(saved), QByteArray("\xEF\xBB\xBF" "a@b\r\nc@d"));
                 answerQuestion(QMessageBox::Yes);
                 QMetaObject::invokeMethod(dialog, "accept");
             }),
             proposal);
    QCOMPARE(questions.size(), 2);
    QVERIFY2(questions.constFirst().contains(QStringLiteral("ADRESSES.TXT")),
             qPrintable(questions.constFirst()));
    QCOMPARE(readFile(saved), QByteArray("\xEF\xBB\xBF" "e@f"));
    QVERIFY(QFile::exists(m_dir->filePath(QStringLiteral("autre.TXT"))));

    // A name with an extension of its own is kept as typed.
    saveThroughDialog(acceptIn(QStringLiteral("liste.csv")));
    QVERIFY(QFile::exists(m_dir->filePath(QStringLiteral("liste.csv"))));
    QVERIFY(!QFile::exists(m_dir->filePath(QStringLiteral("liste.csv.TXT"))));

    // Cancelling writes nothing.
    setText(QStringLiteral("g@h"));
    saveThroughDialog([](QFileDialog *dialog) { dialog->reject(); });
    QCOMPARE(readFile(saved), QByteArray("\xEF\xBB\xBF" "e@f"));
}

void TestMainWindow::saveFailureLeavesWindowWorking()
{
    createShownWindow();
    setText(QStringLiteral("a@b c"));
    const QString target = m_dir->filePath(QStringLiteral("absent/ADRESSES.TXT"));
    saveThroughDialog([&target](QFileDialog *dialog) {
        typeFileName(dialog, target);
        QMetaObject::invokeMethod(dialog, "accept");
    });
    QCOMPARE(m_driver->errors().size(), 1);
    QVERIFY2(m_driver->errors().constFirst().startsWith(
                     QStringLiteral("Impossible de créer le fichier \"%1\". ").arg(target)),
             qPrintable(m_driver->errors().constFirst()));
    QVERIFY(m_driver->errors().constFirst().endsWith(QLatin1Char('.')));
    QVERIFY(m_window->isVisible());
    QCOMPARE(m_listEdit->textWithCrLf(), QStringLiteral("a@b c"));

    triggerFromMenu(u"Adrelio"_s);
    QCOMPARE(m_listEdit->textWithCrLf(), QStringLiteral("a@b\r\n"));
}

void TestMainWindow::lineClick()
{
    createShownWindow();
    QString line;
    for (int i = 0; i < 60; ++i)
        line += QStringLiteral("mot%1 ").arg(i);
    setText(QStringLiteral("premier@ligne\n") + line + QStringLiteral("\nc@d\ne@f\ng@h"));
    QVERIFY(m_listEdit->rowCount(1) >= 3);

    const QString rowText = m_listEdit->rowText(1, 1);
    const qsizetype rowStart = m_listEdit->rowText(1, 0).size();
    const QPoint inRow = m_listEdit->positionRect({ 1, rowStart + 2 }).center();

    QTest::mouseClick(m_listEdit->viewport(), Qt::LeftButton, {}, inRow);
    QCOMPARE(m_window->windowTitle(), rowText);
    QVERIFY(rowText.size() < line.size());

    // A double click runs the line click once, for its first click.
    m_window->setWindowTitle(QString());
    QTest::mousePress(m_listEdit->viewport(), Qt::LeftButton, {}, inRow);
    QTest::mouseRelease(m_listEdit->viewport(), Qt::LeftButton, {}, inRow);
    QCOMPARE(m_window->windowTitle(), rowText);
    m_window->setWindowTitle(QStringLiteral("x"));
    QTest::mousePress(m_listEdit->viewport(), Qt::LeftButton, {}, inRow);
    QTest::mouseDClick(m_listEdit->viewport(), Qt::LeftButton, {}, inRow);
    QCOMPARE(m_window->windowTitle(), QStringLiteral("x"));

    // A selection dragged from the fifth line up to the second shows the second line.
    auto centreOf = [this](qsizetype line) { return m_listEdit->positionRect({ line, 0 }).center(); };
    QTest::mousePress(m_listEdit->viewport(), Qt::LeftButton, {}, centreOf(4));
    QTest::mouseMove(m_listEdit->viewport(), centreOf(0));
    QTest::mouseRelease(m_listEdit->viewport(), Qt::LeftButton, {}, centreOf(0));
    QVERIFY(m_listEdit->hasSelection());
    QCOMPARE(m_window->windowTitle(), QStringLiteral("premier@ligne"));

    // Keyboard moves of the caret do not change the title.
    QTest::keyClick(m_listEdit, Qt::Key_Down);
    QCOMPARE(m_window->windowTitle(), QStringLiteral("premier@ligne"));
}

void TestMainWindow::lineClickSpecialRows()
{
    createShownWindow();
    setText(QStringLiteral("a [*] b\n"));
    QTest::mouseClick(m_listEdit->viewport(), Qt::LeftButton, {},
                      m_listEdit->positionRect({ 0, 0 }).center());
    // The placeholder of the modified mark is shown as it stands in the row.
    QCOMPARE(m_window->windowHandle()->title(), QStringLiteral("a [*] b"));

    // Below the last line of a text that ends with a break is the empty last row.
    QTest::mouseClick(m_listEdit->viewport(), Qt::LeftButton, {},
                      QPoint(20, m_listEdit->viewport()->height() - 5));
    QCOMPARE(m_window->windowTitle(), QString());
}

void TestMainWindow::quitCloses()
{
    createShownWindow();
    triggerFromMenu(u"Quitter1"_s);
    QTRY_VERIFY(!m_window->isVisible());
    QVERIFY(readProfile().contains("chk_AUTO=1"));
}

QTEST_MAIN(TestMainWindow)

#include "tst_mainwindow.moc"
