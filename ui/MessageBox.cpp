#include "ui/MessageBox.h"

#include <QMessageBox>

namespace {

QMessageBox::Icon IconOf(unsigned type)
{
    switch (type & 0xF0) {
    case MB_ICONSTOP:
        return QMessageBox::Critical;
    case MB_ICONQUESTION:
        return QMessageBox::Question;
    case MB_ICONEXCLAMATION:
        return QMessageBox::Warning;
    case MB_ICONINFORMATION:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

} // namespace

int ShowModalMessageBox(QWidget* owner, const QString& text, const QString& title, unsigned type)
{
    QMessageBox box(IconOf(type), title, text, QMessageBox::NoButton, owner);
    if ((type & 0xF) == MB_YESNO) {
        box.addButton(QMessageBox::Yes);
        box.addButton(QMessageBox::No);
        box.setDefaultButton((type & MB_DEFBUTTON2) != 0 ? QMessageBox::No : QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes ? IDYES : IDNO;
    }
    box.addButton(QMessageBox::Ok);
    box.exec();
    return IDOK;
}
