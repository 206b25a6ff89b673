#pragma once

#include <QObject>
#include <optional>

QT_BEGIN_NAMESPACE
class QWidget;
QT_END_NAMESPACE

// The outer size asked of a window before the window manager has framed it. Until then
// the frame is not known and the window takes the size as its client size; once the
// frame is there, the client size is made smaller by the frame, so that the window does
// not grow by its frame at every start. The frame may come after the window was first
// painted (a window manager busy, or a program that was busy when the window was shown);
// a window still without a frame a while after it was painted has none, and the request
// is dropped.
class OuterSizeRequest : public QObject
{
    Q_OBJECT

public:
    static void requestWidth(QWidget *window, int width);
    static void requestHeight(QWidget *window, int height);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit OuterSizeRequest(QWidget *window);
    static OuterSizeRequest *of(QWidget *window);
    void fit(const QEvent *event);
    void finish();

    QWidget *m_window;
    bool m_painted = false;
    std::optional<int> m_width;
    std::optional<int> m_height;
};
