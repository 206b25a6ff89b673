#include "app/messagebox.h"

#include "settings/identity.h"

#include <QApplication>
#include <QMessageBox>

void showMessage(const QString &text)
{
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(ProgramIdentity().title());
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    box.setIcon(QMessageBox::NoIcon);
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}
