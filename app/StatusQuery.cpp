#include "app/StatusQuery.h"

#include "app/SingleInstance.h"
#include "settings/SettingsFile.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocalSocket>
#include <cstdio>

namespace {

constexpr int AnswerWaitMs = 3000;
// A report is a few hundred bytes; five clients and long names stay far below this.
constexpr qint64 AnswerLimit = 65536;

enum ExitStatus
{
    Relaying = 0,
    Degraded = 1,
    NotRelaying = 2,
    NoneRunning = 3,
};

QString LocalTime(const QJsonValue& utc)
{
    return QDateTime::fromString(utc.toString(), Qt::ISODate)
        .toLocalTime()
        .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

QString ReportText(const QJsonObject& report)
{
    QStringList lines;
    const auto add = [&lines](const QString& label, const QString& text) {
        lines.append(QStringLiteral("%1 %2").arg(label + QLatin1Char(':'), -12).arg(text));
    };
    const bool server = report[QStringLiteral("mode")].toString() == QLatin1String("server");
    lines.append(QStringLiteral("Horaline, pid %1, on %2: %3")
                     .arg(report[QStringLiteral("pid")].toInteger())
                     .arg(SettingsFile::Path(), report[QStringLiteral("health")].toString()));
    add(QStringLiteral("mode"),
        report[QStringLiteral("running")].toBool()
            ? QStringLiteral("%1, running since %2")
                  .arg(report[QStringLiteral("mode")].toString(), LocalTime(report[QStringLiteral("since")]))
            : QStringLiteral("%1, stopped").arg(report[QStringLiteral("mode")].toString()));
    const QJsonObject line = report[QStringLiteral("line")].toObject();
    QString lineText = QStringLiteral("%1 = %2 at %3, %4")
                           .arg(line[QStringLiteral("name")].toString(), line[QStringLiteral("device")].toString(),
                                line[QStringLiteral("speed")].toString(), line[QStringLiteral("state")].toString());
    if (line.contains(QStringLiteral("fault")))
        lineText += QStringLiteral(": ") + line[QStringLiteral("fault")].toString();
    add(QStringLiteral("line"), lineText);
    add(QStringLiteral("last value"),
        report[QStringLiteral("lastValue")].isNull()
            ? QStringLiteral("none")
            : QStringLiteral("%1, %2 s ago")
                  .arg(report[QStringLiteral("lastValue")].toString())
                  .arg(report[QStringLiteral("lastValueAge")].toDouble(), 0, 'f', 1));
    if (server) {
        add(QStringLiteral("listening"),
            report[QStringLiteral("listening")].isNull()
                ? QStringLiteral("no")
                : QStringLiteral("port %1").arg(report[QStringLiteral("listening")].toInt()));
        const QJsonArray clients = report[QStringLiteral("clients")].toArray();
        add(QStringLiteral("clients"), QString::number(clients.size()));
        for (const QJsonValue& client : clients)
            lines.append(
                QStringLiteral("  %1 since %2")
                    .arg(client[QStringLiteral("address")].toString(), LocalTime(client[QStringLiteral("since")])));
    } else {
        const QJsonObject peer = report[QStringLiteral("server")].toObject();
        QString peerText = QStringLiteral("%1 port %2, %3")
                               .arg(peer[QStringLiteral("name")].toString())
                               .arg(peer[QStringLiteral("port")].toInt())
                               .arg(peer[QStringLiteral("state")].toString());
        for (const QString& detail : {QStringLiteral("address"), QStringLiteral("fault")}) {
            if (peer.contains(detail))
                peerText += QStringLiteral(" (%1)").arg(peer[detail].toString());
        }
        add(QStringLiteral("server"), peerText);
    }
    if (const QJsonObject spare = report[QStringLiteral("standby")].toObject(); !spare.isEmpty()) {
        // Only this computer's clock as a spare has no line or server to name.
        const QString name = spare[QStringLiteral("name")].toString();
        const QString where = name.isEmpty() ? QString()
            : spare.contains(QStringLiteral("port"))
            ? QStringLiteral(" port %1").arg(spare[QStringLiteral("port")].toInt())
            : QStringLiteral(" = %1").arg(spare[QStringLiteral("device")].toString());
        add(QStringLiteral("standby"),
            QStringLiteral("%1%2, %3; after %4 s%5")
                .arg(name.isEmpty() ? QStringLiteral("no line or server") : name, where,
                     spare[QStringLiteral("state")].toString())
                .arg(spare[QStringLiteral("after")].toInt())
                .arg(spare[QStringLiteral("ownClock")].toBool() ? QStringLiteral(", then this computer's clock")
                                                                : QString()));
        add(QStringLiteral("in use"), spare[QStringLiteral("inUse")].toString());
    }
    add(QStringLiteral("status"), report[QStringLiteral("status")].toString());
    const int faults = report[QStringLiteral("faults")].toInt();
    add(QStringLiteral("faults"),
        faults == 0 ? QStringLiteral("none since the start")
                    : QStringLiteral("%1 since the start, the last at %2: %3")
                          .arg(faults)
                          .arg(LocalTime(report[QStringLiteral("lastFaultAt")]),
                               report[QStringLiteral("lastFault")].toString()));
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

int ExitStatusOf(const QJsonObject& report)
{
    const QString health = report[QStringLiteral("health")].toString();
    if (health == QLatin1String("relaying"))
        return Relaying;
    return health == QLatin1String("degraded") ? Degraded : NotRelaying;
}

} // namespace

std::optional<QJsonObject> AskRunning(const QByteArray& request)
{
    for (const QString& path : StatusSocketPaths()) {
        QLocalSocket running;
        running.setReadBufferSize(AnswerLimit);
        running.connectToServer(path);
        if (!running.waitForConnected(AnswerWaitMs))
            continue;
        running.write(request + '\n');
        QElapsedTimer waited;
        waited.start();
        while (!running.canReadLine() && running.bytesAvailable() < AnswerLimit && waited.elapsed() < AnswerWaitMs
               && running.waitForReadyRead(int(AnswerWaitMs - waited.elapsed()))) { }
        const QJsonDocument answer = QJsonDocument::fromJson(running.readLine(AnswerLimit));
        if (answer.isObject())
            return answer.object();
    }
    return std::nullopt;
}

int QueryStatus(bool json)
{
    const std::optional<QJsonObject> report = AskRunning("status");
    if (!report) {
        if (json)
            std::fputs("{\"running\":false,\"health\":\"none running\"}\n", stdout);
        else
            std::printf("No Horaline runs on the settings %s\n", qPrintable(SettingsFile::Path()));
        return NoneRunning;
    }
    const QByteArray text
        = json ? QJsonDocument(*report).toJson(QJsonDocument::Indented) : ReportText(*report).toLocal8Bit();
    std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
    return ExitStatusOf(*report);
}
