#pragma once

#include <QObject>

class CRelayDlg;

// The one socket class: the listener, the client-mode connection and every accepted connection. It
// reports to its owner window.
class CLinkSocket : public QObject
{
    Q_OBJECT

public:
    void SetOwner(CRelayDlg* owner) { Owner = owner; }
    CRelayDlg* GetOwner() const { return Owner; }

private:
    CRelayDlg* Owner = nullptr;
};
