#include "service/StatusQuery.h"

#include "relay/RelayReport.h"
#include "service/SingleInstance.h"
#include "settings/SettingsPath.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonDocument>
#include <QLocalSocket>
#include <cstdio>
#include <map>

namespace {

constexpr int AnswerWaitMs = 3000;
// A report is a few hundred bytes; five clients and long names stay far below this.
constexpr qint64 AnswerLimit = 65536;

// As monitoring plugins end: OK, WARNING and CRITICAL are the health's order, then UNKNOWN.
constexpr int NotAsked = 3;

const char* const Verdicts[] = {"OK", "WARNING", "CRITICAL", "UNKNOWN"};

QString LocalTime(const QDateTime& utc)
{
    return utc.toLocalTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

// The figures a monitor graphs, as plugins give them: label=value[unit];warn;crit;min;max.
QString PerformanceData(const RelayReport& report)
{
    QStringList figures {
        report.LastValue ? QStringLiteral("age=%1s").arg(report.LastValue->AgeS, 0, 'f', 1) : QStringLiteral("age=U"),
        QStringLiteral("clients=%1;;;0;5").arg(report.Clients.size()),
        QStringLiteral("faults=%1c").arg(report.Faults),
    };
    // By name, as monitors have always been given them.
    std::map<QString, quint64> counts;
    for (size_t i = 0; i < CounterCount; ++i)
        counts[CounterName(Counter(i))] = report.Counts[i];
    for (const auto& [name, count] : counts)
        figures.append(QStringLiteral("%1=%2c").arg(name).arg(count));
    if (const std::optional<FeedReport>& feed = report.Feed) {
        figures.append(QStringLiteral("ntp_sent=%1c").arg(feed->Sent));
        for (size_t i = 0; i < WithheldCount; ++i)
            figures.append(QStringLiteral("ntp_%1=%2c").arg(WithheldName(Withheld(i))).arg(feed->Withheld[i]));
    }
    return figures.join(QLatin1Char(' '));
}

QString PlaceText(const PlaceReport& place)
{
    return place.Kind == SourceKind::Server ? QStringLiteral(" port %1").arg(place.Port)
                                            : QStringLiteral(" = %1").arg(place.Device);
}

QString ReportText(const RelayReport& report)
{
    QStringList lines;
    const auto add = [&lines](const QString& label, const QString& text) {
        lines.append(QStringLiteral("%1 %2").arg(label + QLatin1Char(':'), -12).arg(text));
    };
    lines.append(QStringLiteral("%1 - Horaline %2, pid %3, on %4: %5 | %6")
                     .arg(QLatin1String(Verdicts[int(report.Health)]), report.Version)
                     .arg(report.Pid)
                     .arg(SettingsPath(), HealthName(report.Health), PerformanceData(report)));
    const QString mode = ModeName(report.Server);
    add(QStringLiteral("mode"),
        report.Running ? QStringLiteral("%1, running since %2").arg(mode, LocalTime(report.Since))
                       : QStringLiteral("%1, stopped").arg(mode));
    QString lineText = report.Line.Kind == SourceKind::Clock
        ? QStringLiteral("%1, %2").arg(report.Line.Name, report.Line.State)
        : QStringLiteral("%1 = %2 at %3, %4")
              .arg(report.Line.Name, report.Line.Device, report.Line.Speed, report.Line.State);
    if (!report.Line.Fault.isEmpty())
        lineText += QStringLiteral(": ") + report.Line.Fault;
    add(QStringLiteral("line"), lineText);
    add(QStringLiteral("last value"),
        report.LastValue
            ? QStringLiteral("%1, %2 s ago").arg(report.LastValue->Text).arg(report.LastValue->AgeS, 0, 'f', 1)
            : QStringLiteral("none"));
    if (report.Server) {
        add(QStringLiteral("listening"),
            report.Listening ? QStringLiteral("port %1").arg(*report.Listening) : QStringLiteral("no"));
        add(QStringLiteral("clients"), QString::number(report.Clients.size()));
        for (const ClientReport& client : report.Clients)
            lines.append(QStringLiteral("  %1 since %2").arg(client.Address, LocalTime(client.Since)));
    } else if (report.Peer && report.Peer->Kind == SourceKind::Clock) {
        add(QStringLiteral("source"), QStringLiteral("%1, %2").arg(report.Peer->Name, report.Peer->State));
    } else if (report.Peer) {
        QString peerText
            = QStringLiteral("%1 port %2, %3").arg(report.Peer->Name).arg(report.Peer->Port).arg(report.Peer->State);
        for (const QString& detail : {report.Peer->Address, report.Peer->Fault}) {
            if (!detail.isEmpty())
                peerText += QStringLiteral(" (%1)").arg(detail);
        }
        add(QStringLiteral("server"), peerText);
    }
    if (const std::optional<ScreensReport>& screens = report.Screens)
        add(QStringLiteral("screens"),
            QStringLiteral("%1 of %2, %3 turned away").arg(screens->Open).arg(screens->Most).arg(screens->Refused));
    if (const std::optional<StandbyReport>& spare = report.Standby) {
        // Only this computer's clock as a spare has no line or server to name.
        const QString& name = spare->Place.Name;
        add(QStringLiteral("standby"),
            QStringLiteral("%1%2, %3; after %4 s%5")
                .arg(name.isEmpty() ? QStringLiteral("no line or server") : name,
                     name.isEmpty() ? QString() : PlaceText(spare->Place), spare->Place.State)
                .arg(spare->AfterS)
                .arg(spare->OwnClock ? QStringLiteral(", then this computer's clock") : QString()));
        add(QStringLiteral("in use"), RoleName(spare->InUse));
    }
    if (report.Clock)
        add(QStringLiteral("clock"),
            QStringLiteral("%1, maximum error %2 s")
                .arg(report.Clock->Synchronised ? QStringLiteral("synchronised") : QStringLiteral("not synchronised"))
                .arg(report.Clock->MaxErrorS, 0, 'g', 3));
    if (const std::optional<FeedReport>& feed = report.Feed) {
        QStringList withheld;
        for (size_t i = 0; i < WithheldCount; ++i) {
            if (feed->Withheld[i] != 0)
                withheld.append(QStringLiteral("%1 %2").arg(feed->Withheld[i]).arg(WithheldName(Withheld(i))));
        }
        QString feedText = QStringLiteral("%1, %2 sample(s) sent, withheld: %3")
                               .arg(feed->Socket)
                               .arg(feed->Sent)
                               .arg(withheld.isEmpty() ? QStringLiteral("none") : withheld.join(QStringLiteral(", ")));
        if (feed->LastOffsetS)
            feedText += QStringLiteral("; last sample: ") + OffsetWords(*feed->LastOffsetS);
        if (!feed->LastError.isEmpty())
            feedText += QStringLiteral("; not taken: ") + feed->LastError;
        add(QStringLiteral("ntp feed"), feedText);
    }
    // What stays wrong, whatever the status line says meanwhile.
    for (const QString& fault : StandingOf(report).Faults)
        add(QStringLiteral("standing"), fault);
    add(QStringLiteral("status"), report.Status);
    add(QStringLiteral("faults"),
        report.Faults == 0 ? QStringLiteral("none since the start")
                           : QStringLiteral("%1 since the start, the last at %2: %3")
                                 .arg(report.Faults)
                                 .arg(LocalTime(report.LastFaultAt), report.LastFault));
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
        // A misspelt path names no relay to be down: what runs is not known.
        const bool missing = refusal.isEmpty() && !holder && SettingsNamed() && !QFileInfo::exists(SettingsPath());
        if (missing)
            refusal = QStringLiteral("no such file: name the settings a relay runs on");
        const int status = refusal.isEmpty() ? int(HealthState::NotRelaying) : NotAsked;
        const QString health = refusal.isEmpty() ? QStringLiteral("none running") : QStringLiteral("not asked");
        // Whether one that cannot be asked relays is not known: it is not said to be stopped.
        const QJsonObject answer = refusal.isEmpty()
            ? QJsonObject {{QStringLiteral("running"), false}, {QStringLiteral("health"), health}}
            : QJsonObject {{QStringLiteral("health"), health}, {QStringLiteral("why"), refusal}};
        if (json)
            std::printf("%s\n", QJsonDocument(answer).toJson(QJsonDocument::Compact).constData());
        else if (refusal.isEmpty())
            std::printf("CRITICAL - No Horaline runs on the settings %s\n", qPrintable(SettingsPath()));
        else if (holder || missing)
            std::printf("UNKNOWN - The Horaline of the settings %s cannot be asked (%s)\n", qPrintable(SettingsPath()),
                        qPrintable(refusal));
        else
            std::printf("UNKNOWN - The Horaline of the settings %s cannot be asked (%s): ask as its user, as root "
                        "or as a member of the group horaline (adduser NAME horaline)\n",
                        qPrintable(SettingsPath()), qPrintable(refusal));
        return status;
    }
    // The running relay may be of another version: its JSON goes out as it came.
    const RelayReport typed = ReportFrom(*report);
    const QByteArray text
        = json ? QJsonDocument(*report).toJson(QJsonDocument::Indented) : ReportText(typed).toLocal8Bit();
    std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
    return int(typed.Health);
}
