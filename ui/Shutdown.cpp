#include "ui/CRelayDlg.h"

#include <QPushButton>

void CRelayDlg::OnDestroy()
{
    Destroyed = true;
    // The state at closing is what the next launch restores, so it is stored before the relay stops.
    SaveRunState();
    if (Controller.RunFlag != 0) {
        Ui.Start->setChecked(false);
        OnStartStop();
    }
    Tray.Remove();
    // A listener left open by a failed server start still owes its clients the shutdown notice.
    Controller.SetListening(false);
}
