#include "relay/CRelayDlg.h"

#include <unistd.h>

// No COM name is mapped to a device yet, so every open ends in the invalid-name case.

int CRelayDlg::OpenInputPort()
{
    MessageBox(QStringLiteral("Select a valid Port in Settings!"), QStringLiteral("Please ..."),
               MB_OK | MB_ICONINFORMATION);
    return 0;
}

int CRelayDlg::OpenOutputPort()
{
    const QString text = QStringLiteral("Select a valid Port in Settings !");
    SetStatus(text);
    MessageBox(text, QStringLiteral("Please ..."), MB_OK | MB_ICONINFORMATION);
    return 0;
}

void CRelayDlg::CloseSerialPort()
{
    if (SerialHandle >= 0)
        ::close(SerialHandle);
    SerialHandle = -1;
}

void CRelayDlg::StartReader()
{
    ReaderRunFlag = 1;
}
