#include "app/windowplacement.h"

#include "app/outersizerequest.h"
#include "base/adrelioerror.h"
#include "base/fillformat.h"
#include "settings/identity.h"
#include "settings/integertext.h"
#include "settings/profile.h"

#include <QAction>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace {

const QString optionsSection = QStringLiteral("OPTIONS");
const QString optionMarker = QStringLiteral("chk_");

QString placementText(const QWidget *window)
{
    const QRect frame = window->frameGeometry();
    return QStringLiteral("%1:%2:%3:%4")
            .arg(frame.x())
            .arg(frame.y())
            .arg(frame.width())
            .arg(frame.height());
}

qint32 placementField(const QStringList &fields, qsizetype index)
{
    // A missing field reads as empty text, which does not convert.
    const QString text = fields.value(index);
    qint32 value = 0;
    if (!integerFromText(text, &value))
        throw AdrelioError(fillFormat(u"''%s'' n'est pas une valeur entière valide", { text }));
    return value;
}

// A hidden window that was never framed reports its client area as its frame.
bool frameUnknown(const QWidget *window)
{
    return window->isWindow() && !window->isVisible()
            && window->frameGeometry().size() == window->size();
}

// A window's position and size are those of its outer frame; its client area is the
// frame less the frame's margins. A value equal to the present one changes nothing: a
// window restored without an entry keeps its client size once it is framed, and a window
// that was never moved is still placed by the window manager.
void setLeft(QWidget *window, int left)
{
    if (left != window->frameGeometry().x())
        window->move(left, window->frameGeometry().y());
}

void setTop(QWidget *window, int top)
{
    if (top != window->frameGeometry().y())
        window->move(window->frameGeometry().x(), top);
}

void setOuterSize(QWidget *window, int width, int height)
{
    const QSize frame = window->frameGeometry().size();
    if (frameUnknown(window)) {
        if (width != frame.width())
            OuterSizeRequest::requestWidth(window, width);
        if (height != frame.height())
            OuterSizeRequest::requestHeight(window, height);
    }
    const QSize margins = frame - window->size();
    window->resize(width - margins.width(), height - margins.height());
}

void setWidth(QWidget *window, int width)
{
    setOuterSize(window, width, window->frameGeometry().height());
}

void setHeight(QWidget *window, int height)
{
    setOuterSize(window, window->frameGeometry().width(), height);
}

QList<QAction *> optionActions(const QWidget *window)
{
    QList<QAction *> options;
    const QList<QAction *> actions = window->findChildren<QAction *>();
    for (QAction *action : actions) {
        if (action->objectName().contains(optionMarker))
            options.append(action);
    }
    return options;
}

} // namespace

// The placement is kept in the section named after the executable, under the window's
// object name.
void savePlacement(QWidget *window, Profile &profile)
{
    profile.setValue(ProgramIdentity().baseName(), window->objectName(), placementText(window));
}

void restorePlacement(QWidget *window, const Profile &profile)
{
    restorePlacement(window, profile, QGuiApplication::primaryScreen()->availableGeometry());
}

void restorePlacement(QWidget *window, const Profile &profile, const QRect &workArea)
{
    const QStringList fields = profile.value(ProgramIdentity().baseName(), window->objectName(),
                                             placementText(window))
                                       .split(u':');

    setLeft(window, placementField(fields, 0));
    if (window->frameGeometry().x() > workArea.width())
        setLeft(window, workArea.width() - window->frameGeometry().width());

    setTop(window, placementField(fields, 1));
    if (window->frameGeometry().y() < 0)
        setTop(window, 0);

    setWidth(window, placementField(fields, 2));
    if (workArea.width() < window->frameGeometry().width())
        setWidth(window, workArea.width());

    setHeight(window, placementField(fields, 3));
    if (workArea.height() < window->frameGeometry().height())
        setHeight(window, workArea.height());
}

void saveOptions(QWidget *window, Profile &profile)
{
    const QList<QAction *> options = optionActions(window);
    for (QAction *action : options)
        profile.setBoolValue(optionsSection, action->objectName(), action->isChecked());
}

void restoreOptions(QWidget *window, const Profile &profile)
{
    const QList<QAction *> options = optionActions(window);
    for (QAction *action : options)
        action->setChecked(profile.boolValue(optionsSection, action->objectName(), action->isChecked()));
}
