#include "app/CRelayApp.h"

#include "app/SettingsCheck.h"
#include "app/TerminationSignals.h"
#include "relay/RelayController.h"
#include "relay/RelayLog.h"
#include "relay/RelaySettings.h"
#include "relay/Strings.h"
#include "relay/UnattendedView.h"
#include "settings/InterruptedWrites.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsLog.h"
#include "ui/CRelayDlg.h"

#include <QApplication>
#include <QFileInfo>
#include <QWidget>
#include <sys/socket.h>
#include <sysexits.h>
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

bool CRelayApp::InitInstance(bool headless)
{
    // Settings follow the program file's name, so a renamed copy keeps settings of its own.
    QCoreApplication::setApplicationName(QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName());
    QCoreApplication::setOrganizationName(QStringLiteral("Remote Tickview System"));
    ClearInterruptedWrites(SettingsFile::Path());
    const MessageBoxPrompter prompter = headless ? AnswerUnattended : ShowModalMessageBox;
    if (!SocketLayerWorks()) {
        const QString text = QLatin1String(LoadString(IDS_SOCKETS_INIT_FAILED));
        qCCritical(lcRelay).noquote() << "box" << QCoreApplication::applicationName() << "-" << text;
        prompter(nullptr, text, QCoreApplication::applicationName(), MB_OK);
        ExitCode = 1;
        return false;
    }
    if (headless) {
        if (const std::optional<QString> fault = UnrunnableSettings()) {
            qCCritical(lcSettings).noquote() << *fault;
            ExitCode = EX_CONFIG;
            return false;
        }
    }

    qCInfo(lcRelay).noquote() << QCoreApplication::applicationName() << QStringLiteral(HORALINE_VERSION) << "starts"
                              << (headless ? "without a window" : "with its window");
    if (headless)
        RunHeadless();
    else
        RunWindow();
    qCInfo(lcRelay) << "ended";
    return false;
}

void CRelayApp::RunHeadless()
{
    // The settings passed their check: a relay is to run, on what they say.
    const StoredRelay stored = LoadRelaySettings({});
    UnattendedView view(stored.config.RelayMode);
    RelayController relay(&view);
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::Received, &relay, [](int signalNumber) {
        qCInfo(lcRelay).noquote() << "signal" << signalNumber << "received: ending in order";
        QCoreApplication::quit();
    });
    // What could not start, and will not heal by itself, is for the service manager to see.
    if (relay.Start(stored.config, true) == 0) {
        ExitCode = 1;
        return;
    }
    QCoreApplication::exec();
    // The running state stays as stored: nobody pressed STOP.
    relay.SetEnding();
    relay.Stop();
    relay.SetListening(false);
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
