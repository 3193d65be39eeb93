#pragma once

#include "settings/SettingsFile.h"
#include "support/BoxRecorder.h"
#include "support/FreePort.h"
#include "support/PtyPair.h"
#include "ui/CRelayDlg.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QPushButton>
#include <QTcpSocket>
#include <memory>

// A window started on settings a test chooses: its serial line a pseudo-terminal mapped to a COM name,
// its port a free one, so that tests never touch real hardware or a relay running on this machine. With
// run 1 it starts as a relay left running does at launch; a device given stands in for the line's own.
struct RelayUnderTest
{
    RelayUnderTest(int mode, int com, quint16 port, int run = 0, const QString& device = QString())
        : Port(port)
    {
        if (device.isEmpty())
            Line.MapTo(com);
        else
            SettingsFile(QStringLiteral("Ports")).Write(QStringLiteral("COM%1").arg(com), device);
        {
            SettingsFile file;
            const QString name = QStringLiteral("COM%1").arg(com);
            file.Write(mode == 1 ? QStringLiteral("InComName") : QStringLiteral("OutComName"), name);
            file.Write(QStringLiteral("InComSpeed"), QStringLiteral("9600"));
            file.Write(QStringLiteral("OutComSpeed"), QStringLiteral("9600"));
            file.Write(QStringLiteral("ServerName"), QStringLiteral("127.0.0.1"));
            file.Write(QStringLiteral("ServerPort"), int(port));
            file.Write(QStringLiteral("ProgMode"), mode);
            file.Write(QStringLiteral("ProgRun"), run);
        }
        Window = std::make_unique<CRelayDlg>();
        Window->SetPrompter(Boxes.Prompter());
        Window->Create();
    }

    const RelayControls& Ui() const { return Window->Controls(); }
    void Start() const { Ui().Start->click(); }

    PtyPair Line;
    quint16 Port;
    BoxRecorder Boxes;
    std::unique_ptr<CRelayDlg> Window;
};

inline void ForgetSettings()
{
    QDir(QFileInfo(SettingsFile::Path()).absolutePath()).removeRecursively();
}

// Everything a peer has received until now or until the wait runs out.
inline QByteArray ReadUntil(QTcpSocket& peer, int size, int timeoutMs = 5000)
{
    QByteArray received = peer.readAll();
    QElapsedTimer timer;
    timer.start();
    while (received.size() < size && timer.elapsed() < timeoutMs) {
        if (peer.waitForReadyRead(50) || peer.bytesAvailable() > 0)
            received += peer.readAll();
        QCoreApplication::processEvents();
    }
    return received;
}
