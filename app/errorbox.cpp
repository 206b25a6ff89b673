#include "app/errorbox.h"

#include "settings/identity.h"

#include <QApplication>
#include <QMessageBox>

namespace {

ErrorBoxHook &errorBoxHook()
{
    static ErrorBoxHook hook;
    return hook;
}

} // namespace

QString errorBoxText(const QString &message)
{
    if (!message.isEmpty() && message.back() > QLatin1Char('.'))
        return message + QLatin1Char('.');
    return message;
}

void showErrorBox(const QString &message)
{
    const QString text = errorBoxText(message);
    if (errorBoxHook()) {
        errorBoxHook()(text);
        return;
    }
    QMessageBox box(QMessageBox::Critical, ProgramIdentity().title(), text, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

void setErrorBoxHook(ErrorBoxHook hook)
{
    errorBoxHook() = std::move(hook);
}
