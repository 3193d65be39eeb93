#include "relay/PortEntry.h"
#include "ui/CRelayDlg.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>

void WriteModeButtons(const RelayControls& ui, int mode)
{
    // An exclusive pair refuses to uncheck its last checked button; a stored mode that is neither
    // value must still show both unchecked.
    for (QPushButton* button : {ui.ModeClient, ui.ModeServer}) {
        button->setAutoExclusive(false);
        button->setChecked(false);
    }
    if (mode == 0)
        ui.ModeClient->setChecked(true);
    else if (mode == 1)
        ui.ModeServer->setChecked(true);
    for (QPushButton* button : {ui.ModeClient, ui.ModeServer})
        button->setAutoExclusive(true);
}

int ReadModeButtons(const RelayControls& ui)
{
    if (ui.ModeClient->isChecked())
        return 0;
    if (ui.ModeServer->isChecked())
        return 1;
    return -1;
}

bool CRelayDlg::DoDataExchange(bool save)
{
    if (!save) {
        WriteModeButtons(Ui, RelayMode);
        Ui.ServerPort->setText(QString::number(ClientPort));
        Ui.ListenPort->setText(QString::number(ListenPort));
        return true;
    }
    RelayMode = ReadModeButtons(Ui);
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
