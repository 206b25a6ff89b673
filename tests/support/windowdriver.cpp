#include "support/windowdriver.h"

#include "app/mainwindow.h"
#include "settings/identity.h"
#include "settings/profile.h"
#include "support/testsupport.h"
#include "textarea/listedit.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

QString profilePath()
{
    return Profile().fileName();
}

void writeProfile(const QByteArray &content)
{
    writeFile(profilePath(), content);
}

QByteArray readProfile()
{
    return readFile(profilePath());
}

QByteArray profileWithFile(const QString &fileName, bool autoExtract)
{
    return "[" + ProgramIdentity().baseName().toUtf8() + "]\nForm1=30:40:500:300\n[FICHIER]\nIMPORT="
            + fileName.toUtf8() + "\n[OPTIONS]\nchk_AUTO=" + (autoExtract ? "1" : "0") + "\n";
}

void removeProfile()
{
    QFile::remove(profilePath());
    QDir(profilePath()).removeRecursively();
}

void whenModalOpens(QObject *context, const std::function<void(QWidget *)> &answer)
{
    QTimer::singleShot(10, context, [context, answer] {
        if (QWidget *modal = QApplication::activeModalWidget())
            answer(modal);
        else
            whenModalOpens(context, answer);
    });
}

// The question is asked within the accept, in an event loop of its own, which takes the
// timer; without a question the timer finds no box once the dialog has closed.
void confirmReplace()
{
    QTimer::singleShot(0, [] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
            box->button(QMessageBox::Yes)->click();
    });
}

WindowDriver::WindowDriver(const QString &fileToOpen)
{
    // A closed window must not end the test's application.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    m_window = std::make_unique<MainWindow>(fileToOpen);
    m_listEdit = m_window->findChild<ListEdit *>(QStringLiteral("Memo1"));
}

WindowDriver::~WindowDriver() = default;

QMenu *WindowDriver::menu() const
{
    return m_window->findChild<QMenu *>(QStringLiteral("PopupMenu1"));
}

QFileDialog *WindowDriver::saveDialog() const
{
    return m_window->findChild<QFileDialog *>(QStringLiteral("SaveDialog1"));
}

QAction *WindowDriver::action(const QString &id) const
{
    return m_window->findChild<QAction *>(id);
}

void WindowDriver::show()
{
    m_window->move(0, 0);
    m_window->show();
    QApplication::setActiveWindow(m_window.get());
    if (!QTest::qWaitForWindowActive(m_window.get()))
        qWarning("the window did not become active");
}

bool WindowDriver::drop(const QList<QUrl> &urls)
{
    const bool taken = sendDrop(m_listEdit, urls);
    // The window takes the drop at once, so that the source is not kept waiting, and
    // loads the file right after.
    QCoreApplication::sendPostedEvents(m_window.get(), QEvent::MetaCall);
    return taken;
}

bool WindowDriver::drop(const QStringList &fileNames)
{
    QList<QUrl> urls;
    for (const QString &fileName : fileNames)
        urls.append(QUrl::fromLocalFile(fileName));
    return drop(urls);
}

bool WindowDriver::autoExtract() const
{
    return action(QStringLiteral("chk_AUTO"))->isChecked();
}

void WindowDriver::setAutoExtract(bool on)
{
    if (autoExtract() != on)
        trigger(QStringLiteral("chk_AUTO"));
}

void WindowDriver::trigger(const QString &id)
{
    action(id)->trigger();
}

void WindowDriver::copyList()
{
    whenModalOpens(m_window.get(), [](QWidget *box) { box->close(); });
    trigger(QStringLiteral("COPY"));
}

void WindowDriver::save(const QString &fileName)
{
    save([fileName](QFileDialog *dialog) {
        dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(fileName);
        auto *buttons = dialog->findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
        confirmReplace();
        buttons->button(QDialogButtonBox::Save)->click();
    });
}

void WindowDriver::save(const std::function<void(QFileDialog *)> &answer)
{
    QFileDialog *dialog = saveDialog();
    // The dialog runs its own event loop; it is answered once it is up.
    QTimer::singleShot(0, dialog, [dialog, answer] { answer(dialog); });
    trigger(QStringLiteral("Enregistrer1"));
}

void WindowDriver::openMenu()
{
    QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(),
                            m_listEdit->mapToGlobal(QPoint()));
    QCoreApplication::sendEvent(m_listEdit, &event);
}

bool WindowDriver::chooseFromMenu(const QString &id)
{
    openMenu();
    QAction *entry = action(id);
    if (!menu()->isVisible() || !entry || !entry->isEnabled()) {
        menu()->close();
        return false;
    }
    menu()->setActiveAction(entry);
    QTest::keyClick(menu(), Qt::Key_Return);
    return QTest::qWaitFor([this] { return !menu()->isVisible(); });
}

bool WindowDriver::close()
{
    return m_window->close();
}

QString WindowDriver::text() const
{
    return m_listEdit->text();
}

QString WindowDriver::textWithCrLf() const
{
    return m_listEdit->textWithCrLf();
}

QByteArray WindowDriver::savedBytes()
{
    const QString fileName = m_saveFolder.filePath(QStringLiteral("saved.txt"));
    QFile::remove(fileName);
    save(fileName);
    return readFile(fileName);
}

void WindowDriver::setText(const QString &text)
{
    m_listEdit->setLoadedText(text);
}
