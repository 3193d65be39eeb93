#include "relay/PortEntry.h"
#include "ui/CRelayDlg.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>

bool CRelayDlg::DoDataExchange(bool save)
{
    if (!save) {
        WriteModeButtons();
        Ui.ServerPort->setText(QString::number(ClientPort));
        Ui.ListenPort->setText(QString::number(ListenPort));
        return true;
    }
    RelayMode = ReadModeButtons();
    return ExchangePort(Ui.ServerPort, ClientPort) && ExchangePort(Ui.ListenPort, ListenPort);
}

bool CRelayDlg::ExchangePort(QLineEdit* field, int& port)
{
    const PortEntry entry = ParsePortEntry(field->text());
    if (entry.outcome == PortEntry::Valid) {
        port = entry.value;
        return true;
    }
    const QString text = entry.outcome == PortEntry::NotAnInteger
        ? QStringLiteral("Digitare un numero intero.")
        : QStringLiteral("Digitare un numero intero compreso tra %1 e %2.").arg(MinPort).arg(MaxPort);
    Controller.MessageBox(text, QCoreApplication::applicationName(), MB_OK | MB_ICONEXCLAMATION);
    field->setFocus();
    field->selectAll();
    return false;
}

void CRelayDlg::WriteModeButtons()
{
    // An exclusive pair refuses to uncheck its last checked button; a stored mode that is neither
    // value must still show both unchecked.
    for (QPushButton* button : {Ui.ModeClient, Ui.ModeServer}) {
        button->setAutoExclusive(false);
        button->setChecked(false);
    }
    if (RelayMode == 0)
        Ui.ModeClient->setChecked(true);
    else if (RelayMode == 1)
        Ui.ModeServer->setChecked(true);
    for (QPushButton* button : {Ui.ModeClient, Ui.ModeServer})
        button->setAutoExclusive(true);
}

int CRelayDlg::ReadModeButtons() const
{
    if (Ui.ModeClient->isChecked())
        return 0;
    if (Ui.ModeServer->isChecked())
        return 1;
    return -1;
}
