#include "app/CRelayApp.h"
#include "app/RelayAlone.h"
#include "app/StartUp.h"

#include <QApplication>
#include <memory>

int main(int argc, char* argv[])
{
    const LaunchRequest request = StartUp(argc, argv, Program::Window);
    if (request.exitCode)
        return *request.exitCode;
    if (request.headless)
        ExecRelayAlone(argv);
    return RunLogged([&] {
        // Without a window no GUI is made at all: no platform plugin, no display connection.
        const std::unique_ptr<QCoreApplication> application = request.headless
            ? std::make_unique<QCoreApplication>(argc, argv)
            : std::make_unique<QApplication>(argc, argv);
        CRelayApp relayApp;
        relayApp.WindowGeometry = request.windowGeometry;
        relayApp.WindowTitle = request.windowTitle;
        relayApp.InitInstance(request.headless);
        return relayApp.ExitCode;
    });
}
