#include "windowdriver.h"

#include "app/unit1.h"

#include <QAction>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>
#include <QTimer>

namespace {

QPlainTextEdit *textArea(TForm1 *window)
{
    return window->findChild<QPlainTextEdit *>(QStringLiteral("Memo1"));
}

} // namespace

WindowDriver::WindowDriver()
{
    // A closed window must not end the test's application.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    m_window = std::make_unique<TForm1>();
    m_window->show();
}

WindowDriver::~WindowDriver() = default;

QStringList WindowDriver::takeErrors()
{
    return m_errors.take();
}

void WindowDriver::drop(const QUrl &url)
{
    sendDrop(textArea(m_window.get()), { url });
    // The window takes the drop at once, so that the source is not kept waiting, and
    // loads the file right after.
    QCoreApplication::sendPostedEvents(m_window.get(), QEvent::MetaCall);
}

bool WindowDriver::autoExtract() const
{
    return m_window->findChild<QAction *>(QStringLiteral("chk_AUTO"))->isChecked();
}

void WindowDriver::setAutoExtract(bool on)
{
    if (autoExtract() != on)
        trigger("chk_AUTO");
}

void WindowDriver::extract()
{
    trigger("Adrelio");
}

void WindowDriver::save(const QString &fileName)
{
    auto *dialog = m_window->findChild<QFileDialog *>(QStringLiteral("SaveDialog1"));
    // The dialog runs its own event loop; the name is typed once it is up.
    QTimer::singleShot(0, dialog, [dialog, fileName] {
        dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(fileName);
        auto *buttons = dialog->findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
        buttons->button(QDialogButtonBox::Save)->click();
    });
    trigger("Enregistrer1");
}

bool WindowDriver::close()
{
    return m_window->close();
}

// The plain text would show no-break spaces as spaces; the raw text keeps every
// character and separates the lines with U+2029.
QString WindowDriver::text() const
{
    const QString raw = textArea(m_window.get())->document()->toRawText();
    return QString(raw).replace(QChar::ParagraphSeparator, u'\n');
}

void WindowDriver::trigger(const char *entry)
{
    m_window->findChild<QAction *>(QLatin1String(entry))->trigger();
}
