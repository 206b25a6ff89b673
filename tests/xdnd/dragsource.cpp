// A drag source in a process of its own, for dropping a file onto the real window through
// the X server's drag-and-drop protocol. A mouse press in its window drags the URL of the
// file named on the command line, offering only a copy. It prints when the drag starts,
// each action that the window under the pointer answers with ("drag action: copy" over a
// target that takes the file) and, when the drag ends, the action the drop ended with, so
// that whoever moves the mouse can wait for each step.
//
// It keeps running after that: QDrag::exec returns as soon as the drop is sent, and the
// target only then asks the source for the dragged data. A source that quits at once
// leaves the target a drop without any data.
//
// Usage: xdnd_dragsource FILE X Y

#include <QApplication>
#include <QDrag>
#include <QFileInfo>
#include <QMimeData>
#include <QMouseEvent>
#include <QTextStream>
#include <QUrl>
#include <QWidget>

#include <cstdio>

class DragSource : public QWidget
{
public:
    explicit DragSource(const QString &fileName)
        : m_fileName(fileName)
    {
        setWindowTitle(QStringLiteral("xdnd drag source"));
        setFixedSize(160, 100);
    }

protected:
    void mousePressEvent(QMouseEvent *event) override
    {
        if (event->button() != Qt::LeftButton || m_started)
            return;
        m_started = true;
        auto *mimeData = new QMimeData;
        mimeData->setUrls({QUrl::fromLocalFile(m_fileName)});
        auto *drag = new QDrag(this);
        drag->setMimeData(mimeData);
        connect(drag, &QDrag::actionChanged, this, [](Qt::DropAction action) {
            QTextStream(stdout) << "drag action: " << actionName(action) << Qt::endl;
        });
        QTextStream(stdout) << "drag started" << Qt::endl;
        const Qt::DropAction action = drag->exec(Qt::CopyAction);
        QTextStream(stdout) << "drag ended: " << actionName(action) << Qt::endl;
    }

private:
    static const char *actionName(Qt::DropAction action)
    {
        switch (action) {
        case Qt::CopyAction:
            return "copy";
        case Qt::MoveAction:
            return "move";
        case Qt::LinkAction:
            return "link";
        default:
            return "ignored";
        }
    }

    QString m_fileName;
    bool m_started = false;
};

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    bool xOk = false;
    bool yOk = false;
    const int x = args.value(2).toInt(&xOk);
    const int y = args.value(3).toInt(&yOk);
    if (args.size() != 4 || !xOk || !yOk) {
        std::fprintf(stderr, "usage: xdnd_dragsource FILE X Y\n");
        return 2;
    }
    DragSource source(QFileInfo(args.at(1)).absoluteFilePath());
    source.move(x, y);
    source.show();
    return app.exec();
}
