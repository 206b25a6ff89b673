#include "app/errorbox.h"

#include "base/adrelioerror.h"
#include "base/progress.h"
#include "settings/identity.h"

#include <QApplication>
#include <QMessageBox>

#include <new>

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

bool runHandler(const std::function<void()> &body)
{
    try {
        body();
        return true;
    } catch (const AdrelioError &error) {
        showErrorBox(error.message());
    } catch (const OperationCancelled &) {
    } catch (const std::bad_alloc &) {
        showErrorBox(QStringLiteral("Mémoire insuffisante"));
    } catch (const std::exception &error) {
        showErrorBox(QString::fromLocal8Bit(error.what()));
    }
    return false;
}
