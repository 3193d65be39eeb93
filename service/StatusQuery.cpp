#include "service/StatusQuery.h"

#include "relay/RelayHealth.h"
#include "service/SingleInstance.h"
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

// As monitoring plugins end: OK, WARNING and CRITICAL are the health's order, then UNKNOWN.
constexpr int NotAsked = 3;

const char* const Verdicts[] = {"OK", "WARNING", "CRITICAL", "UNKNOWN"};

QString LocalTime(const QJsonValue& utc)
{
    return QDateTime::fromString(utc.toString(), Qt::ISODate)
        .toLocalTime()
        .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

int ExitStatusOf(const QJsonObject& report)
{
    return int(HealthOf(report[QStringLiteral("health")].toString()));
}

// The figures a monitor graphs, as plugins give them: label=value[unit];warn;crit;min;max.
QString PerformanceData(const QJsonObject& report)
{
    const QJsonValue age = report[QStringLiteral("lastValueAge")];
    const QJsonObject counters = report[QStringLiteral("counters")].toObject();
    QStringList figures {
        age.isNull() ? QStringLiteral("age=U") : QStringLiteral("age=%1s").arg(age.toDouble(), 0, 'f', 1),
        QStringLiteral("clients=%1;;;0;5").arg(report[QStringLiteral("clients")].toArray().size()),
        QStringLiteral("faults=%1c").arg(report[QStringLiteral("faults")].toInt()),
    };
    for (auto counter = counters.begin(); counter != counters.end(); ++counter)
        figures.append(QStringLiteral("%1=%2c").arg(counter.key()).arg(counter.value().toInteger()));
    return figures.join(QLatin1Char(' '));
}

QString ReportText(const QJsonObject& report)
{
    QStringList lines;
    const auto add = [&lines](const QString& label, const QString& text) {
        lines.append(QStringLiteral("%1 %2").arg(label + QLatin1Char(':'), -12).arg(text));
    };
    const bool server = report[QStringLiteral("mode")].toString() == QLatin1String("server");
    lines.append(QStringLiteral("%1 - Horaline %2, pid %3, on %4: %5 | %6")
                     .arg(QLatin1String(Verdicts[ExitStatusOf(report)]), report[QStringLiteral("version")].toString())
                     .arg(report[QStringLiteral("pid")].toInteger())
                     .arg(SettingsFile::Path(), report[QStringLiteral("health")].toString(), PerformanceData(report)));
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

} // namespace

std::optional<QJsonObject> AskRunning(const QByteArray& request, QString* refusal)
{
    for (const QString& path : StatusSocketPaths()) {
        QLocalSocket running;
        running.setReadBufferSize(AnswerLimit);
        running.connectToServer(path);
        if (!running.waitForConnected(AnswerWaitMs)) {
            if (running.error() == QLocalSocket::SocketAccessError && refusal != nullptr)
                *refusal = QStringLiteral("%1: permission denied").arg(path);
            continue;
        }
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
    QString refusal;
    const std::optional<QJsonObject> report = AskRunning("status", &refusal);
    if (!report) {
        // A socket this user may not reach is a relay that may well run: unknown, not down; so is one
        // that holds its lock but has no socket to answer on.
        const std::optional<qint64> holder = refusal.isEmpty() ? RunningOnSettings() : std::nullopt;
        if (holder)
            refusal = QStringLiteral("pid %1 runs on them but has no status socket: its runtime folder was missing "
                                     "or not writable, its log says which")
                          .arg(*holder);
        const int status = refusal.isEmpty() ? int(HealthState::NotRelaying) : NotAsked;
        const QString health = refusal.isEmpty() ? QStringLiteral("none running") : QStringLiteral("not asked");
        // Whether one that cannot be asked relays is not known: it is not said to be stopped.
        const QJsonObject answer = refusal.isEmpty()
            ? QJsonObject {{QStringLiteral("running"), false}, {QStringLiteral("health"), health}}
            : QJsonObject {{QStringLiteral("health"), health}, {QStringLiteral("why"), refusal}};
        if (json)
            std::printf("%s\n", QJsonDocument(answer).toJson(QJsonDocument::Compact).constData());
        else if (refusal.isEmpty())
            std::printf("CRITICAL - No Horaline runs on the settings %s\n", qPrintable(SettingsFile::Path()));
        else if (holder)
            std::printf("UNKNOWN - The Horaline of the settings %s cannot be asked (%s)\n",
                        qPrintable(SettingsFile::Path()), qPrintable(refusal));
        else
            std::printf("UNKNOWN - The Horaline of the settings %s cannot be asked (%s): ask as its user, as root "
                        "or as a member of the group horaline (adduser NAME horaline)\n",
                        qPrintable(SettingsFile::Path()), qPrintable(refusal));
        return status;
    }
    const QByteArray text
        = json ? QJsonDocument(*report).toJson(QJsonDocument::Indented) : ReportText(*report).toLocal8Bit();
    std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
    return ExitStatusOf(*report);
}
