#include "relay/RelayController.h"

void RelayController::StartReader()
{
    ReaderRunFlag = 1;
    Reader.Start(SerialHandle, &ReaderRunFlag, this, ++ReaderRun, StandbyHandle);
    WatchForSilence();
}

void RelayController::StopReader()
{
    ReaderRunFlag = 0;
    Reader.Stop();
}
