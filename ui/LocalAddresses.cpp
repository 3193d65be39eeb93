#include "ui/CRelayDlg.h"

#include <QHostInfo>
#include <QLabel>
#include <QListWidget>
#include <QNetworkInterface>

namespace {

QStringList ClientReachableAddresses(const QList<QHostAddress>& addresses)
{
    QStringList texts;
    for (const QHostAddress& address : addresses) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback())
            texts.append(address.toString());
    }
    return texts;
}

} // namespace

void CRelayDlg::ListLocalAddresses()
{
    const QString name = QHostInfo::localHostName();
    const QHostInfo host = name.isEmpty() ? QHostInfo() : QHostInfo::fromName(name);
    if (name.isEmpty() || host.error() != QHostInfo::NoError) {
        Controller.MessageBox(QStringLiteral(" Local Computer name not found !"
                                             "\nIt's probably not set in the network parameters so,"
                                             "\nfor setting the 'Tickview2' program (client), you"
                                             "\nmust find a 'local IP address' by yourself."
                                             "\n\n Please look in the network property dialog because"
                                             "\nI'm not able to fill the reference list for you."),
                              QStringLiteral("Problem ..."), MB_OK | MB_ICONSTOP);
        return;
    }
    Ui.LocalName->setText(name.toUpper());
    // Many systems resolve their own name to a loopback address, useless on another machine: the
    // interfaces' own addresses are listed instead.
    QStringList addresses = ClientReachableAddresses(host.addresses());
    if (addresses.isEmpty())
        addresses = ClientReachableAddresses(QNetworkInterface::allAddresses());
    Ui.LocalAddrs->addItems(addresses);
}
