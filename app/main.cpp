#include "app/CRelayApp.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    CRelayApp relayApp;
    relayApp.InitInstance();
    return 0;
}
