#include "ui/TrayArea.h"

#include "ui/CRelayDlg.h"
#include "ui/Icons.h"

#include <QMenu>
#include <QSystemTrayIcon>

TrayArea::TrayArea()
    : Available(&QSystemTrayIcon::isSystemTrayAvailable)
{ }

void TrayArea::Add(QWidget* window, std::function<void(unsigned)> mouse, std::function<void(int)> command)
{
    Icon = new QSystemTrayIcon(TrayIcon(), window);
    Icon->setToolTip(QStringLiteral("Horaline v1.0"));
    QObject::connect(Icon, &QSystemTrayIcon::activated, window, [mouse](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::DoubleClick)
            mouse(WM_LBUTTONDBLCLK);
        else if (reason == QSystemTrayIcon::Context)
            mouse(WM_RBUTTONDOWN);
    });
    Icon->show();

    Popup = new QMenu(QStringLiteral("Context"), window);
    Popup->setObjectName(QStringLiteral("IDR_TRAYMENU"));
    QObject::connect(Popup->addAction(QStringLiteral("About ...")), &QAction::triggered, window,
                     [command] { command(3); });
    Popup->addSeparator();
    QObject::connect(Popup->addAction(QStringLiteral("Exit")), &QAction::triggered, window, [command] { command(2); });
}

void TrayArea::Remove()
{
    if (Icon != nullptr)
        Icon->hide();
}

bool TrayArea::Shown() const
{
    return Icon != nullptr && Icon->isVisible() && Available();
}
