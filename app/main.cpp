#include <QApplication>
#include <QPlainTextEdit>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QPlainTextEdit window;
    window.resize(600, 394);
    window.setWindowTitle(QStringLiteral("Adrelio"));
    window.show();
    return app.exec();
}
