#pragma once

#include "config/RelaySettings.h"
#include "config/SettingsLists.h"
#include "relay/RelayController.h"
#include "relay/RelayView.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsPath.h"
#include "support/BoxRecorder.h"
#include "support/FreePort.h"
#include "support/PtyPair.h"

#include <QDir>
#include <QFileInfo>
#include <QTcpSocket>
#include <QTime>

// Settings for a relay on COM<com> and a port: the COM name stands for the line given, or for the
// device when one is given; run 1 makes it start as a relay left running does at launch.
inline void WriteTestSettings(const PtyPair& line, int mode, int com, quint16 port, int run, const QString& device)
{
    if (device.isEmpty())
        line.MapTo(com);
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
}

// A relay started on settings a test chooses, with no window: its serial line a pseudo-terminal
// mapped to a COM name, its port a free one, so that tests never touch real hardware or a relay running
// on this machine. With run 1 it starts as a relay left running does at launch; a device given stands
// in for the line's own. It is its own view: boxes are recorded, the mode is the configured one.
struct RelayUnderTest final : RelayView
{
    RelayUnderTest(int mode, int com, quint16 port, int run = 0, const QString& device = QString())
        : Port(port)
    {
        WriteTestSettings(Line, mode, com, port, run, device);
        Config = LoadRelaySettings({}).config;
        QObject::connect(&Controller, &RelayController::ClockChanged, &Controller,
                         [this](const QString& text) { ClockText = text; });
        if (run != 0)
            Controller.Start(Config, true);
    }

    int MessageBox(const QString& text, const QString& title, unsigned type) override
    {
        return Boxes.Prompter()(nullptr, text, title, type);
    }
    int ExchangeMode() override { return Config.RelayMode; }

    // START, or STOP while it runs, as the button does: a start reads [Ports] and [Clients] as they stand.
    void Start()
    {
        if (Controller.RunFlag == 0) {
            Config.Ports = LoadComDeviceMap();
            Config.Allowed = ReadClientsAllowed();
            Controller.Start(Config);
        } else
            Controller.Stop();
    }
    QString Status() const { return Controller.Status(); }
    QString Clock() const { return ClockText; }

    PtyPair Line;
    quint16 Port;
    BoxRecorder Boxes;
    RelayConfig Config;
    QString ClockText;
    RelayController Controller {this};
};

// The settings file as the bytes given, as an operator or a power cut may leave it.
inline bool WriteSettingsText(const QByteArray& text)
{
    QDir().mkpath(QFileInfo(SettingsPath()).absolutePath());
    QFile file(SettingsPath());
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) == text.size();
}

inline void ForgetSettings()
{
    QDir(QFileInfo(SettingsPath()).absolutePath()).removeRecursively();
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

// The time of now as a source sends it: "hhmmss" on a line, "hh:mm:ss" over the network.
inline QByteArray TimeNow(const QString& format)
{
    return QTime::currentTime().toString(format).toLatin1();
}

// Whether each value is a later second than the one before it, as a display must see them: none twice,
// none behind (midnight is a step forward).
inline bool InOrder(const QList<QByteArray>& values)
{
    for (qsizetype i = 1; i < values.size(); ++i) {
        const std::optional<int> before = SecondOfDay(values[i - 1]);
        const std::optional<int> after = SecondOfDay(values[i]);
        const int ahead = before && after ? (*after - *before + 86400) % 86400 : 0;
        if (ahead == 0 || ahead >= 43200)
            return false;
    }
    return true;
}

// The standby's part of the status report: which source is in use, its state.
inline QString StandbyField(const RelayController& controller, const QString& field)
{
    return ReportJson(controller.StatusReport())[QStringLiteral("standby")][field].toString();
}
