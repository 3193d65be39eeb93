#include "app/RelayAlone.h"
#include "app/StartUp.h"

#include <QCoreApplication>

// The relay without a window, linking no GUI library: what a service and `Horaline --headless` run.
int main(int argc, char* argv[])
{
    const LaunchRequest request = StartUp(argc, argv, Program::Relay);
    if (request.exitCode)
        return *request.exitCode;
    return RunLogged([&] {
        QCoreApplication application(argc, argv);
        NameApplication(Program::Relay);
        return RunRelayAlone();
    });
}
