#include "settings/kesto_iniwidgets.h"

#include "settings/kesto_ini.h"
#include "settings/outersizerequest.h"
#include "worklist/adrelioerror.h"

#include <QAction>
#include <QApplication>
#include <QMessageBox>
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

qint32 placementField(const TarrayOfString &fields, qsizetype index)
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

QList<QAction *> optionActions(const QWidget *form)
{
    QList<QAction *> options;
    const QList<QAction *> actions = form->findChildren<QAction *>();
    for (QAction *action : actions) {
        if (action->objectName().contains(optionMarker))
            options.append(action);
    }
    return options;
}

} // namespace

void SavePosition(QWidget *F, const QString &Inifile)
{
    SaveStr(ExeName(false), F->objectName(), placementText(F), Inifile);
}

void GetPosition(QWidget *F, const QString &Inifile)
{
    GetPosition(F, Inifile, QGuiApplication::primaryScreen()->availableGeometry());
}

void GetPosition(QWidget *F, const QString &Inifile, const QRect &workArea)
{
    const TarrayOfString fields =
            Split(GetStr(ExeName(false), F->objectName(), placementText(F), Inifile), QStringLiteral(":"));

    setLeft(F, placementField(fields, 0));
    if (F->frameGeometry().x() > workArea.width())
        setLeft(F, workArea.width() - F->frameGeometry().width());

    setTop(F, placementField(fields, 1));
    if (F->frameGeometry().y() < 0)
        setTop(F, 0);

    setWidth(F, placementField(fields, 2));
    if (workArea.width() < F->frameGeometry().width())
        setWidth(F, workArea.width());

    setHeight(F, placementField(fields, 3));
    if (workArea.height() < F->frameGeometry().height())
        setHeight(F, workArea.height());
}

void SaveComponents(QWidget *form, const QString &Inifile)
{
    const QList<QAction *> options = optionActions(form);
    for (QAction *action : options)
        SaveBool(optionsSection, action->objectName(), action->isChecked(), Inifile);
}

void GetComponents(QWidget *form, const QString &Inifile)
{
    const QList<QAction *> options = optionActions(form);
    for (QAction *action : options)
        action->setChecked(GetBool(optionsSection, action->objectName(), action->isChecked(), Inifile));
}

void sm(const QString &s)
{
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(applicationTitle());
    box.setTextFormat(Qt::PlainText);
    box.setText(s);
    box.setIcon(QMessageBox::NoIcon);
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}
