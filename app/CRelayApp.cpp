#include "app/CRelayApp.h"

#include "app/TerminationSignals.h"
#include "relay/CRelayDlg.h"
#include "ui/Strings.h"

#include <QApplication>
#include <QFileInfo>
#include <QWidget>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The network layer is usable when the process may make a TCP socket at all.
bool SocketLayerWorks()
{
    const int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (probe < 0)
        return false;
    ::close(probe);
    return true;
}

// A box or About window open when the session ends would hold the shutdown until someone answers it.
void CloseModalWindows(const QWidget* mainWindow)
{
    for (int nested = 0; nested < 8; ++nested) {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || modal == mainWindow || !modal->close())
            break;
    }
}

} // namespace

bool CRelayApp::InitInstance()
{
    // Settings follow the program file's name, so a renamed copy keeps settings of its own.
    QCoreApplication::setApplicationName(QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName());
    QCoreApplication::setOrganizationName(QStringLiteral("Remote Tickview System"));
    // The window hides in the notification area; only a confirmed exit ends the program.
    QApplication::setQuitOnLastWindowClosed(false);

    if (!SocketLayerWorks()) {
        ShowModalMessageBox(nullptr, QLatin1String(LoadString(IDS_SOCKETS_INIT_FAILED)),
                            QCoreApplication::applicationName(), MB_OK);
        return false;
    }

    CRelayDlg dialog;
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::Received, &dialog, [&dialog] {
        CloseModalWindows(&dialog);
        dialog.EndSession();
    });
    dialog.DoModal();
    return false;
}
