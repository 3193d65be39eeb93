#include "ui/CRelayDlg.h"
#include "ui/Icons.h"

#include <QCursor>
#include <QEvent>
#include <QMenu>
#include <QSystemTrayIcon>

void CRelayDlg::AddTrayIcon()
{
    Tray = new QSystemTrayIcon(TrayIcon(), this);
    Tray->setToolTip(QStringLiteral("Horaline v1.0"));
    connect(Tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::DoubleClick)
            OnTrayNotify(TrayIconId, WM_LBUTTONDBLCLK);
        else if (reason == QSystemTrayIcon::Context)
            OnTrayNotify(TrayIconId, WM_RBUTTONDOWN);
    });
    Tray->show();

    TrayMenuPopup = new QMenu(QStringLiteral("Context"), this);
    TrayMenuPopup->setObjectName(QStringLiteral("IDR_TRAYMENU"));
    connect(TrayMenuPopup->addAction(QStringLiteral("About ...")), &QAction::triggered, this, [this] { OnCommand(3); });
    TrayMenuPopup->addSeparator();
    connect(TrayMenuPopup->addAction(QStringLiteral("Exit")), &QAction::triggered, this, [this] { OnCommand(2); });
}

void CRelayDlg::RemoveTrayIcon()
{
    if (Tray != nullptr)
        Tray->hide();
}

void CRelayDlg::SetTrayAvailability(std::function<bool()> available)
{
    TrayAvailable = std::move(available);
}

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
        TrayMenuPopup->exec(cursor);
    }
}

void CRelayDlg::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || !isMinimized())
        return;
    const bool trayShown = Tray != nullptr && Tray->isVisible() && TrayAvailable();
    // Hidden, the window is only reachable through the icon: without one it stays minimised.
    if (trayShown)
        QMetaObject::invokeMethod(this, &QWidget::hide, Qt::QueuedConnection);
}
