#include "app/imagelist.h"
#include "app/unit1.h"
#include "drop/tjvdragdrop.h"
#include "formtest.h"
#include "worklist/memoedit.h"
#include "worklist/tstringlist.h"

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
#include <QTextBlock>
#include <QTextLayout>
#include <QWindow>

class tst_Form : public FormTest
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
    void toggleOption();
    void copyList_data();
    void copyList();
    void save();
    void saveFailureLeavesWindowWorking();
    void lineClick();
    void lineClickSpecialRows();
    void quitCloses();

private:
    void createShownForm();
    QAction *entry(const char *name) const { return m_form->findChild<QAction *>(QLatin1String(name)); }
    void setText(const QString &text);
    void openMenu();
    void triggerFromMenu(const char *name);
    QString saveThroughDialog(const std::function<void(QFileDialog *)> &answer);

    QMenu *m_menu = nullptr;
};

void tst_Form::init()
{
    initForm();
    QGuiApplication::clipboard()->clear();
}

void tst_Form::cleanup()
{
    cleanupForm();
}

void tst_Form::createShownForm()
{
    createForm();
    m_menu = m_form->findChild<QMenu *>(QStringLiteral("PopupMenu1"));
    QVERIFY(m_menu);
    m_form->move(0, 0);
    m_form->show();
    QApplication::setActiveWindow(m_form.get());
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    QVERIFY(m_memo->hasFocus());
}

void tst_Form::setText(const QString &text)
{
    m_memo->setPlainText(text);
}

// Opens the menu as the menu key does.
void tst_Form::openMenu()
{
    QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(), m_memo->mapToGlobal(QPoint()));
    QCoreApplication::sendEvent(m_memo, &event);
    QVERIFY(m_menu->isVisible());
}

// Chooses a menu entry the way the user does: the menu is prepared and opened, then the
// entry is activated.
void tst_Form::triggerFromMenu(const char *name)
{
    openMenu();
    QAction *action = entry(name);
    QVERIFY(action);
    QVERIFY(action->isEnabled());
    m_menu->setActiveAction(action);
    QTest::keyClick(m_menu, Qt::Key_Return);
    QTRY_VERIFY(!m_menu->isVisible());
}

void tst_Form::layout()
{
    TForm1 form;
    QVERIFY(m_boxes->texts().isEmpty());

    QCOMPARE(form.objectName(), QStringLiteral("Form1"));
    const Qt::WindowFlags flags = form.windowFlags();
    QCOMPARE(flags & Qt::WindowType_Mask, Qt::Window);
    QVERIFY(flags.testFlags(Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint));
    QVERIFY(!flags.testAnyFlags(Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    QCOMPARE(form.size(), QSize(600, 394));
    QCOMPARE(form.windowTitle(), App_Caption(QString()));
    QVERIFY(!form.windowIcon().isNull());

    QCOMPARE(form.font().pointSize(), 8);
    const QString family = QFontDatabase::families().contains(QStringLiteral("Tahoma"))
            ? QStringLiteral("Tahoma")
            : QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
    QCOMPARE(form.font().family(), family);

    auto *memo = form.findChild<MemoEdit *>(QStringLiteral("Memo1"));
    QVERIFY(memo);
    QCOMPARE(memo->font(), form.font());
    QCOMPARE(memo->Lines()->Count(), 1);
    QCOMPARE(memo->Lines()->Strings(0), placeholderLine);
    QCOMPARE(memo->toolTip(), QStringLiteral("Menu = Clic Droit"));
    QCOMPARE(memo->toolTipDuration(), 2500);
    QCOMPARE(memo->viewport()->style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay, nullptr, memo->viewport()), 500);

    QVERIFY(form.findChild<QMenu *>(QStringLiteral("PopupMenu1")));
    QVERIFY(form.findChild<QObject *>(QStringLiteral("ActionList1")));
    auto *images = form.findChild<ImageList *>(QStringLiteral("ImageList1"));
    QVERIFY(images);
    QCOMPARE(images->count(), 4);
    auto *dialog = form.findChild<QFileDialog *>(QStringLiteral("SaveDialog1"));
    QVERIFY(dialog);
    auto *drop = form.findChild<TJvDragDrop *>(QStringLiteral("JvDragDrop1"));
    QVERIFY(drop);
    QCOMPARE(drop->DropTarget(), memo);
    QVERIFY(drop->AcceptDrag());

    // The text area fills the window and follows its size.
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(memo->geometry(), form.rect());
    form.resize(200, 120);
    QTRY_COMPARE(memo->geometry(), form.rect());
    QCOMPARE(memo->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

void tst_Form::actions_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("category");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("shortHint");
    QTest::addColumn<QString>("longHint");
    QTest::addColumn<int>("image");
    QTest::addColumn<QKeySequence>("shortcut");

    QTest::newRow("Extract") << "Extract" << "Fichier" << "Extraire" << "Extraire" << ""
                             << -1 << QKeySequence();
    QTest::newRow("FichierFileExit1") << "FichierFileExit1" << "Fichier" << "&Quitter"
                                      << "Quitter" << "Quitte l'application" << 0 << QKeySequence();
    QTest::newRow("EditionEditCopy1")
            << "EditionEditCopy1" << "Edition" << "C&opier" << "Copier"
            << "Copie la sélection et la place dans le Presse-papiers" << 1
            << QKeySequence(Qt::CTRL | Qt::Key_C);
    QTest::newRow("EditionEditPaste1")
            << "EditionEditPaste1" << "Edition" << "Co&ller" << "Coller"
            << "Insère le contenu du Presse-papiers" << 3 << QKeySequence(Qt::CTRL | Qt::Key_V);
    QTest::newRow("EditionEditSelectAll1")
            << "EditionEditSelectAll1" << "Edition" << "&Tout sélectionner" << "Tout sélectionner"
            << "Sélectionne l'intégralité du document" << -1 << QKeySequence(Qt::CTRL | Qt::Key_A);
}

void tst_Form::actions()
{
    QFETCH(QString, name);
    QFETCH(QString, category);
    QFETCH(QString, caption);
    QFETCH(QString, shortHint);
    QFETCH(QString, longHint);
    QFETCH(int, image);
    QFETCH(QKeySequence, shortcut);

    TForm1 form;
    auto *list = form.findChild<QObject *>(QStringLiteral("ActionList1"));
    auto *action = list->findChild<QAction *>(name);
    QVERIFY(action);
    QCOMPARE(action->property("category").toString(), category);
    QCOMPARE(action->text(), caption);
    QCOMPARE(action->toolTip(), shortHint);
    QCOMPARE(action->statusTip(), longHint);
    QCOMPARE(action->shortcut(), shortcut);
    if (image < 0) {
        QVERIFY(action->icon().isNull());
    } else {
        const ImageList *images = form.findChild<ImageList *>(QStringLiteral("ImageList1"));
        QCOMPARE(action->icon().pixmap(16, 16).toImage(), images->pixmap(image).toImage());
    }
}

void tst_Form::menuEntries()
{
    createShownForm();
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
        { "Adrelio", "&Extraire", -1, {} },
        { "N4", nullptr, -1, {} },
        { "Enregistrer1", "E&nregistrer ...", ImageList::Floppy, {} },
        { "COPY", "&Copier la liste dans le presse papier ", ImageList::Clipboard, {} },
        { "SORT", "T&rier la liste", -1, {} },
        { "N5", nullptr, -1, {} },
        { "chk_AUTO", "E&xtraction automatique", -1, {} },
        { "N3", nullptr, -1, {} },
        { "outslectionner1", "&Tout sélectionner", -1, QKeySequence(Qt::CTRL | Qt::Key_A) },
        { "Coller1", "Co&ller", ImageList::Floppy, QKeySequence(Qt::CTRL | Qt::Key_V) },
        { "N1", "C&opier", ImageList::Copy, QKeySequence(Qt::CTRL | Qt::Key_C) },
        { "N2", nullptr, -1, {} },
        { "Quitter1", "&Quitter", ImageList::Exit, {} },
    };

    const QList<QAction *> entries = m_menu->actions();
    QCOMPARE(entries.size(), qsizetype(std::size(expected)));
    const ImageList *images = m_form->findChild<ImageList *>(QStringLiteral("ImageList1"));
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
        if (e.image < 0)
            QVERIFY(action->icon().isNull());
        else
            QCOMPARE(action->icon().pixmap(16, 16).toImage(), images->pixmap(e.image).toImage());
    }
    QVERIFY(entry("chk_AUTO")->isCheckable());
    QVERIFY(entry("chk_AUTO")->isChecked());

    // Typing changes neither the entries nor their keys.
    m_menu->close();
    QTest::keyClicks(m_memo, QStringLiteral("Tout Rien"));
    openMenu();
    QCOMPARE(entry("SORT")->text(), QStringLiteral("T&rier la liste"));
    QCOMPARE(entry("outslectionner1")->text(), QStringLiteral("&Tout sélectionner"));
    m_menu->close();
}

void tst_Form::images()
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

void tst_Form::menuOpens_data()
{
    QTest::addColumn<int>("how");
    QTest::addColumn<bool>("atTopLeft");

    QTest::newRow("secondary button") << 0 << false;
    QTest::newRow("menu key") << 1 << true;
    QTest::newRow("Shift+F10") << 2 << true;
}

void tst_Form::menuOpens()
{
    QFETCH(int, how);
    QFETCH(bool, atTopLeft);

    createShownForm();
    QWidget *viewport = m_memo->viewport();
    const QPoint click(120, 90);
    // What the platform sends for the secondary button, on the widget under the pointer,
    // and for the menu key, on the widget with the focus.
    switch (how) {
    case 0: {
        QContextMenuEvent event(QContextMenuEvent::Mouse, click, viewport->mapToGlobal(click));
        QCoreApplication::sendEvent(viewport, &event);
        break;
    }
    case 1: {
        const QPoint caret = m_memo->cursorRect().center();
        QContextMenuEvent event(QContextMenuEvent::Keyboard, caret, viewport->mapToGlobal(caret));
        QCoreApplication::sendEvent(m_memo, &event);
        break;
    }
    default:
        QTest::keyClick(m_memo, Qt::Key_F10, Qt::ShiftModifier);
    }
    QTRY_VERIFY(m_menu->isVisible());
    QVERIFY(m_memo->hasFocus());
    QCOMPARE(m_menu->pos(), viewport->mapToGlobal(atTopLeft ? QPoint(0, 0) : click));
    m_menu->close();
}

void tst_Form::enabledStates_data()
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

void tst_Form::enabledStates()
{
    QFETCH(QString, text);
    QFETCH(bool, select);
    QFETCH(bool, clipboardText);
    QFETCH(bool, focused);
    QFETCH(bool, selectAll);
    QFETCH(bool, paste);
    QFETCH(bool, copy);

    createShownForm();
    setText(text);
    if (select)
        m_memo->selectAll();
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
        QVERIFY(!m_memo->hasFocus());
        emit m_menu->aboutToShow();
    }
    QCOMPARE(entry("outslectionner1")->isEnabled(), selectAll);
    QCOMPARE(entry("Coller1")->isEnabled(), paste);
    QCOMPARE(entry("N1")->isEnabled(), copy);
    QVERIFY(entry("Adrelio")->isEnabled());
    QVERIFY(entry("Quitter1")->isEnabled());
    m_menu->close();
}

void tst_Form::shortcutKeys()
{
    createShownForm();
    QClipboard *clipboard = QGuiApplication::clipboard();
    setText(QStringLiteral("a@b\nc@d"));

    // Ctrl+C with nothing selected does nothing: the clipboard keeps its content.
    clipboard->setText(QStringLiteral("earlier"));
    QTest::keyClick(m_memo, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(clipboard->text(), QStringLiteral("earlier"));

    // Ctrl+A selects everything, and Ctrl+C copies it with CR LF breaks.
    QTest::keyClick(m_memo, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(m_memo->textCursor().selectedText().size(), 7);
    QTest::keyClick(m_memo, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(clipboard->text(), QStringLiteral("a@b\r\nc@d"));

    // Ctrl+V replaces the selection by the clipboard's text, one break per CR LF.
    clipboard->setText(QStringLiteral("x@y\r\nz@w"));
    QTest::keyClick(m_memo, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(m_memo->Lines()->Text(), QStringLiteral("x@y\r\nz@w"));

    // With no text on the clipboard Ctrl+V is disabled and the key goes nowhere.
    auto *mimeData = new QMimeData;
    mimeData->setData(QStringLiteral("application/octet-stream"), "\x01");
    clipboard->setMimeData(mimeData);
    QTest::keyClick(m_memo, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(m_memo->Lines()->Text(), QStringLiteral("x@y\r\nz@w"));

    // Other keys reach the text area: its own cut works.
    m_memo->selectAll();
    QTest::keyClick(m_memo, Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(m_memo->Lines()->Text(), QString());
}

void tst_Form::extractAndSort()
{
    createShownForm();
    setText(QStringLiteral("x, y@z,,\"w v@u\"\nB@c a@a\nb@b"));
    triggerFromMenu("Adrelio");
    QCOMPARE(m_memo->Lines()->Text(), QStringLiteral("y@z\r\nw v@u\r\nB@c\r\na@a\r\nb@b\r\n"));
    QCOMPARE(m_memo->Lines()->Encoding(), TEncoding::ANSI);

    triggerFromMenu("SORT");
    QCOMPARE(m_memo->Lines()->Text(), QStringLiteral("a@a\r\nb@b\r\nB@c\r\nw v@u\r\ny@z\r\n"));
}

void tst_Form::toggleOption()
{
    createShownForm();
    QAction *option = entry("chk_AUTO");
    triggerFromMenu("chk_AUTO");
    QVERIFY(!option->isChecked());
    triggerFromMenu("chk_AUTO");
    QVERIFY(option->isChecked());
}

void tst_Form::copyList_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("clipboard");

    QTest::newRow("three lines") << "a@b\nc@d\ne@f" << "a@b\r\nc@d\r\ne@f";
    QTest::newRow("final break") << "a@b\n" << "a@b\r\n";
    QTest::newRow("empty area") << "" << "earlier";
}

void tst_Form::copyList()
{
    QFETCH(QString, text);
    QFETCH(QString, clipboard);

    createShownForm();
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
    triggerFromMenu("COPY");
    QTRY_COMPARE(shown, QStringLiteral("Copié"));
    QCOMPARE(caption, applicationTitle());
    QCOMPARE(QGuiApplication::clipboard()->text(), clipboard);
    QCOMPARE(m_form->focusWidget(), m_memo);
    QCOMPARE(m_memo->textCursor().selectedText().size(), text.size());
}

static void typeFileName(QFileDialog *dialog, const QString &name)
{
    auto *nameEdit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    QVERIFY(nameEdit);
    nameEdit->setText(name);
}

// Saves through the dialog, answered by answer, and returns what the dialog showed.
QString tst_Form::saveThroughDialog(const std::function<void(QFileDialog *)> &answer)
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
    triggerFromMenu("Enregistrer1");
    return seen;
}

void tst_Form::save()
{
    createShownForm();
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

    // Saving again replaces it without a question, and the dialog proposes ADRESSES again.
    setText(QStringLiteral("e@f"));
    QCOMPARE(saveThroughDialog(acceptIn(QStringLiteral("autre"))), proposal);
    QCOMPARE(saveThroughDialog(acceptIn(QString())), proposal);
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

void tst_Form::saveFailureLeavesWindowWorking()
{
    createShownForm();
    setText(QStringLiteral("a@b c"));
    const QString target = m_dir->filePath(QStringLiteral("absent/ADRESSES.TXT"));
    saveThroughDialog([&target](QFileDialog *dialog) {
        typeFileName(dialog, target);
        QMetaObject::invokeMethod(dialog, "accept");
    });
    QCOMPARE(m_boxes->texts().size(), 1);
    QVERIFY2(m_boxes->texts().constFirst().startsWith(
                     QStringLiteral("Impossible de créer le fichier \"%1\". ").arg(target)),
             qPrintable(m_boxes->texts().constFirst()));
    QVERIFY(m_boxes->texts().constFirst().endsWith(QLatin1Char('.')));
    QVERIFY(m_form->isVisible());
    QCOMPARE(m_memo->Lines()->Text(), QStringLiteral("a@b c"));

    triggerFromMenu("Adrelio");
    QCOMPARE(m_memo->Lines()->Text(), QStringLiteral("a@b\r\n"));
}

void tst_Form::lineClick()
{
    createShownForm();
    QString line;
    for (int i = 0; i < 60; ++i)
        line += QStringLiteral("mot%1 ").arg(i);
    setText(QStringLiteral("premier@ligne\n") + line + QStringLiteral("\nc@d\ne@f\ng@h"));
    QTRY_VERIFY(m_memo->document()->findBlockByNumber(1).layout()->lineCount() >= 3);

    const QTextBlock block = m_memo->document()->findBlockByNumber(1);
    const QTextLine row = block.layout()->lineAt(1);
    const QString rowText = line.mid(row.textStart(), row.textLength());
    QTextCursor cursor(block);
    cursor.setPosition(block.position() + row.textStart() + 2);
    const QPoint inRow = m_memo->cursorRect(cursor).center();

    QTest::mouseClick(m_memo->viewport(), Qt::LeftButton, {}, inRow);
    QCOMPARE(m_form->windowTitle(), rowText);
    QVERIFY(rowText.size() < line.size());

    // A double click runs the line click once, for its first click.
    m_form->setWindowTitle(QString());
    QTest::mousePress(m_memo->viewport(), Qt::LeftButton, {}, inRow);
    QTest::mouseRelease(m_memo->viewport(), Qt::LeftButton, {}, inRow);
    QCOMPARE(m_form->windowTitle(), rowText);
    m_form->setWindowTitle(QStringLiteral("x"));
    QTest::mousePress(m_memo->viewport(), Qt::LeftButton, {}, inRow);
    QTest::mouseDClick(m_memo->viewport(), Qt::LeftButton, {}, inRow);
    QCOMPARE(m_form->windowTitle(), QStringLiteral("x"));

    // A selection dragged from the fifth line up to the second shows the second line.
    auto centreOf = [this](int blockNumber) {
        return m_memo->cursorRect(QTextCursor(m_memo->document()->findBlockByNumber(blockNumber))).center();
    };
    QTest::mousePress(m_memo->viewport(), Qt::LeftButton, {}, centreOf(4));
    QTest::mouseMove(m_memo->viewport(), centreOf(0));
    QTest::mouseRelease(m_memo->viewport(), Qt::LeftButton, {}, centreOf(0));
    QVERIFY(m_memo->textCursor().hasSelection());
    QCOMPARE(m_form->windowTitle(), QStringLiteral("premier@ligne"));

    // Keyboard moves of the caret do not change the title.
    QTest::keyClick(m_memo, Qt::Key_Down);
    QCOMPARE(m_form->windowTitle(), QStringLiteral("premier@ligne"));
}

void tst_Form::lineClickSpecialRows()
{
    createShownForm();
    setText(QStringLiteral("a [*] b\n"));
    QTest::mouseClick(m_memo->viewport(), Qt::LeftButton, {},
                      m_memo->cursorRect(QTextCursor(m_memo->document()->firstBlock())).center());
    // The placeholder of the modified mark is shown as it stands in the row.
    QCOMPARE(m_form->windowHandle()->title(), QStringLiteral("a [*] b"));

    // Below the last line of a text that ends with a break is the empty last row.
    QTest::mouseClick(m_memo->viewport(), Qt::LeftButton, {},
                      QPoint(20, m_memo->viewport()->height() - 5));
    QCOMPARE(m_form->windowTitle(), QString());
}

void tst_Form::quitCloses()
{
    createShownForm();
    triggerFromMenu("Quitter1");
    QTRY_VERIFY(!m_form->isVisible());
    QVERIFY(readProfile().contains("chk_AUTO=1"));
}

QTEST_MAIN(tst_Form)

#include "tst_form.moc"
