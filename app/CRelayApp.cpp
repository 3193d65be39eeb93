#include "app/CRelayApp.h"

#include "app/RelayAlone.h"
#include "app/TerminationSignals.h"
#include "net/CLinkSocket.h"
#include "relay/RelayLog.h"
#include "relay/Strings.h"
#include "settings/InterruptedWrites.h"
#include "settings/SettingsFile.h"
#include "ui/CRelayDlg.h"

#include <QApplication>
#include <QFileInfo>
#include <QWidget>
#include <unistd.h>

namespace {

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

bool CRelayApp::InitInstance(bool headless)
{
    // Settings follow the program file's name, so a renamed copy keeps settings of its own.
    QCoreApplication::setApplicationName(QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName());
    QCoreApplication::setOrganizationName(QStringLiteral("Remote Tickview System"));
    if (headless) {
        ExitCode = RunRelayAlone();
        return false;
    }
    ClearInterruptedWrites(SettingsFile::Path());
    if (!ProbeSocket() == 0) {
        const QString text = QLatin1String(LoadString(IDS_SOCKETS_INIT_FAILED));
        qCCritical(lcRelay).noquote() << "box" << QCoreApplication::applicationName() << "-" << text;
        ShowModalMessageBox(nullptr, text, QCoreApplication::applicationName(), MB_OK);
        ExitCode = 1;
        return false;
    }
    qCInfo(lcRelay).noquote() << QCoreApplication::applicationName() << QStringLiteral(HORALINE_VERSION)
                              << "starts with its window";
    RunWindow();
    qCInfo(lcRelay) << "ended";
    return false;
}

void CRelayApp::RunWindow()
{
    // The window hides in the notification area; only a confirmed exit ends the program.
    QApplication::setQuitOnLastWindowClosed(false);
    CRelayDlg dialog;
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::Received, &dialog, [&dialog](int signalNumber) {
        qCInfo(lcRelay).noquote() << "signal" << signalNumber << "received: ending in order";
        CloseModalWindows(&dialog);
        dialog.EndSession();
    });
    dialog.DoModal();
}
