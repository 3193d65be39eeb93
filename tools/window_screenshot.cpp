// Saves a picture of the main window in each mode, for the README and for reviewing the layout:
//   window_screenshot <folder>   writes window-server.png, window-client.png and the icons
#include "ui/CRelayDlg.h"
#include "ui/Icons.h"

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char* argv[])
{
    // The user's own settings are never touched by a picture.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Horaline"));
    QCoreApplication::setOrganizationName(QStringLiteral("Remote Tickview System"));
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "cannot make the folder %s\n", argv[1]);
        return 1;
    }

    CRelayDlg window;
    window.SetPrompter([](QWidget*, const QString&, const QString&, unsigned) { return int(IDOK); });
    window.Create();
    const auto save = [&](const QPixmap& picture, const char* name) {
        const QString path = folder.filePath(QLatin1String(name));
        if (!picture.save(path)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return false;
        }
        std::printf("%s\n", qPrintable(path));
        return true;
    };
    bool saved = save(window.grab(), "window-server.png");
    window.Controls().ModeClient->click();
    saved = save(window.grab(), "window-client.png") && saved;
    saved = save(MainIcon().pixmap(32, 32), "icon-main-32.png") && saved;
    saved = save(MainIcon().pixmap(16, 16), "icon-main-16.png") && saved;
    saved = save(TrayIcon().pixmap(16, 16), "icon-tray-16.png") && saved;
    window.EndSession();
    return saved ? 0 : 1;
}
