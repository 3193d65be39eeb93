#include "ui/CRelayDlg.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QPushButton>

void CRelayDlg::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        OnExitCommand();
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Enter must never end the window: the operator leaves it running for months. It clicks only
        // the button that has the focus, and of those only About and Exit.
        for (QPushButton* button : {Ui.About, Ui.Exit}) {
            if (button->hasFocus())
                button->click();
        }
        break;
    default:
        QDialog::keyPressEvent(event);
        return;
    }
    event->accept();
}

void CRelayDlg::closeEvent(QCloseEvent* event)
{
    // The title-bar close box and Alt+F4 ask first, like Exit; a confirmed exit ends the run itself.
    event->ignore();
    OnExitCommand();
}

void CRelayDlg::OnExitCommand()
{
    const int answer = Controller.MessageBox(QStringLiteral("Do you really want to exit ?"),
                                             QStringLiteral("Exiting ..."), MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
    if (answer == IDYES)
        OnOK();
}

void CRelayDlg::OnOK()
{
    if (DoDataExchange(true))
        done(QDialog::Accepted);
}
