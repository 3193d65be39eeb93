#include "ui/CRelayDlg.h"

#include <QCursor>
#include <QEvent>
#include <QMenu>

void CRelayDlg::BringToFront()
{
    show();
    showNormal();
    raise();
    activateWindow();
}

void CRelayDlg::OnTrayNotify(unsigned id, unsigned mouseMessage)
{
    if (id != TrayIconId)
        return;
    if (mouseMessage == WM_LBUTTONDBLCLK) {
        // Minimised before a notification area existed, the window is still visible, only minimised.
        if (isVisible() && !isMinimized()) {
            showMinimized();
        } else {
            BringToFront();
        }
    } else if (mouseMessage == WM_RBUTTONDOWN) {
        const QPoint cursor = QCursor::pos();
        raise();
        activateWindow();
        Tray.Menu()->exec(cursor);
    }
}

void CRelayDlg::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || !isMinimized())
        return;
    // Hidden, the window is only reachable through the icon: without one it stays minimised.
    if (Tray.Shown())
        QMetaObject::invokeMethod(this, &QWidget::hide, Qt::QueuedConnection);
}
