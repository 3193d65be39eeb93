#include "relay/CRelayDlg.h"

void CRelayDlg::StartReader()
{
    ReaderRunFlag = 1;
    Reader.Start(SerialHandle, &ReaderRunFlag, this, ++ReaderRun);
    WatchForSilence();
}
