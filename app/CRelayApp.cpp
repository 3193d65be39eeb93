#include "app/CRelayApp.h"

#include "app/CommandLine.h"
#include "app/RelayAlone.h"
#include "app/StartUp.h"
#include "config/SettingsLists.h"
#include "net/CLinkSocket.h"
#include "relay/RelayLog.h"
#include "serial/Strings.h"
#include "service/SingleInstance.h"
#include "service/StatusQuery.h"
#include "service/StatusService.h"
#include "service/WebService.h"
#include "settings/SettingsPath.h"
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
    NameApplication(Program::Window);
    if (headless) {
        ExitCode = RunRelayAlone();
        return false;
    }
    SingleInstance instance;
    if (!instance.Acquire()) {
        ExitCode = BringOtherToFront(instance.OtherPid());
        return false;
    }
    ClearInterruptedWrites(SettingsPath());
    if (ProbeSocket() != 0) {
        const QString text = QLatin1String(LoadString(IDS_SOCKETS_INIT_FAILED));
        qCCritical(lcRelay).noquote() << "box" << QCoreApplication::applicationName() << "-" << text;
        ShowModalMessageBox(nullptr, text, QCoreApplication::applicationName(), MB_OK);
        ExitCode = 1;
        return false;
    }
    qCInfo(lcRelay).noquote() << QCoreApplication::applicationName() << QStringLiteral(HORALINE_VERSION)
                              << "starts with its window";
    RunWindow(instance.SocketPaths());
    qCInfo(lcRelay) << "ended";
    return false;
}

int CRelayApp::BringOtherToFront(qint64 pid)
{
    const std::optional<QJsonObject> answer = AskRunning("raise");
    const QString running
        = QStringLiteral("Horaline already runs on the settings %1 (pid %2)").arg(SettingsPath()).arg(pid);
    if (answer && answer->value(QStringLiteral("raised")).toBool()) {
        qCInfo(lcRelay).noquote() << running + QStringLiteral(": its window is brought to the front");
        return 0;
    }
    // Nothing to bring forward: the one that runs has no window, as a service has none.
    const QString text = running + QStringLiteral(" without a window.");
    qCWarning(lcRelay).noquote() << text;
    ShowModalMessageBox(nullptr, text, QCoreApplication::applicationName(), MB_OK | MB_ICONINFORMATION);
    return 1;
}

void CRelayApp::RunWindow(const QStringList& statusSockets)
{
    // The window hides in the notification area; only a confirmed exit ends the program.
    QApplication::setQuitOnLastWindowClosed(false);
    CRelayDlg dialog;
    dialog.Place(GeometryPosition(WindowGeometry), WindowTitle);
    WebService web([&dialog] { return dialog.Relay().StatusReport(); });
    const StatusService status(
        statusSockets, [&web] { return web.Reported(); },
        [&dialog] {
            dialog.BringToFront();
            return true;
        });
    // The web port needs [Web] and [Clients] alone, whatever mode the window starts in.
    RelayConfig webOnly;
    webOnly.Web = LoadWebListen();
    webOnly.Allowed = ReadClientsAllowed();
    webOnly.Displays = LoadWebDisplays().value_or(webOnly.Displays);
    web.ListenAsConfigured(webOnly);
    const RunOutputs::Attachment screens = dialog.Relay().Outputs.Attach(web.Screens());
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::Received, &dialog, [&dialog](int signalNumber) {
        qCInfo(lcRelay).noquote() << "signal" << signalNumber << "received: ending in order";
        CloseModalWindows(&dialog);
        dialog.EndSession();
    });
    dialog.DoModal();
}
