// How precisely the feed tells chrony the time, as chrony itself measures it: a writer puts each time
// code's last byte on a pseudo-terminal when a real line at 9600 baud would (the second's start plus
// the frame's 7.29 ms), a relay reads it and feeds chrony's SOCK reference clock, and chronyd -x (which
// never sets the clock and listens on no NTP port) logs the raw offset of every sample. Beside it, the
// same codes fed by a feeder that stamps them on the relay's main thread once they have been relayed,
// as a feeder without the reader's stamp would (chrony shows it, and selects only the relay's). With
// crlf, each code ends with CR LF in the same write, as many masters end their telegrams. Needs chronyd
// (Debian's chrony) and root.
//   ntpfeed [samples] [crlf]   (120 by default: one a second)

#include "Harness.h"
#include "config/RelaySettings.h"
#include "outputs/ChronyFeed.h"
#include "relay/RelayController.h"
#include "relay/RelayView.h"
#include "settings/SettingsFile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTextStream>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono;

// A character's time on the line: ten bits at 9600 baud; a frame is seven.
constexpr auto CharacterTime = nanoseconds(1041667);

// Writes one code a second, its last byte (its terminator's, where it has one) when a real line would
// bring it, until told to stop.
void WriteCodes(int master, const std::atomic<bool>& running, const QByteArray& terminator)
{
    while (running) {
        const auto now = system_clock::now();
        const auto second = time_point_cast<seconds>(now) + seconds(1);
        // A sleep wakes late by up to a millisecond here: the last two are spun, so the line is on time.
        const auto due = second + CharacterTime * (7 + terminator.size());
        std::this_thread::sleep_until(due - milliseconds(2));
        while (system_clock::now() < due) { }
        const QByteArray code = "\x02"
            + QDateTime::fromSecsSinceEpoch(second.time_since_epoch().count(), Qt::UTC).toString("hhmmss").toLatin1()
            + terminator;
        bench::WriteAll(master, code.constData(), size_t(code.size()));
    }
}

struct Figures
{
    size_t count = 0;
    double medianMs = 0;
    double deviationMs = 0;
    // The spread without the few a busy machine makes: the 5th and 95th percentiles, and the worst.
    double p5Ms = 0;
    double p95Ms = 0;
    double worstMs = 0;
};

// The raw offsets chrony logged for one reference clock, skipping the first few while the lines settle.
Figures RawOffsets(const QString& log, const QString& refid)
{
    std::vector<double> offsets;
    QFile file(log);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QTextStream lines(&file);
    while (!lines.atEnd()) {
        const QStringList fields = lines.readLine().split(QLatin1Char(' '), Qt::SkipEmptyParts);
        // Date Time Refid DP L P Raw-offset Cooked-offset Disp.; a filter's result has "-" for DP.
        if (fields.size() >= 7 && fields[2] == refid && fields[3] != QLatin1String("-"))
            offsets.push_back(fields[6].toDouble() * 1000);
    }
    if (offsets.size() > 3)
        offsets.erase(offsets.begin(), offsets.begin() + 3);
    if (offsets.empty())
        return {};
    std::vector<double> sorted = offsets;
    std::sort(sorted.begin(), sorted.end());
    double mean = 0;
    for (const double offset : offsets)
        mean += offset / double(offsets.size());
    double variance = 0;
    for (const double offset : offsets)
        variance += (offset - mean) * (offset - mean) / double(offsets.size());
    const double worst = std::max(std::fabs(sorted.front()), std::fabs(sorted.back()));
    return {offsets.size(),
            sorted[sorted.size() / 2],
            std::sqrt(variance),
            sorted[sorted.size() * 5 / 100],
            sorted[sorted.size() * 95 / 100],
            worst};
}

} // namespace

int main(int argc, char* argv[])
{
    const int samples = argc > 1 ? std::max(10, std::atoi(argv[1])) : 120;
    const QByteArray terminator = argc > 2 && QByteArray(argv[2]) == "crlf" ? "\r\n" : "";
    QTemporaryDir work;
    QFile::setPermissions(work.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_CONFIG_HOME", work.filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", work.path().toLocal8Bit());
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Horaline"));
    QCoreApplication::setOrganizationName(QStringLiteral("Remote Tickview System"));
    const QString chronyd = QStandardPaths::findExecutable(QStringLiteral("chronyd"), {"/usr/sbin", "/sbin"});
    if (chronyd.isEmpty() || ::geteuid() != 0) {
        std::fprintf(stderr, "ntpfeed needs chronyd (apt-get install chrony) and root\n");
        return 2;
    }

    const QString reader = work.filePath(QStringLiteral("reader.sock"));
    const QString main = work.filePath(QStringLiteral("main.sock"));
    QDir().mkpath(work.filePath(QStringLiteral("log")));
    QFile conf(work.filePath(QStringLiteral("chrony.conf")));
    conf.open(QIODevice::WriteOnly);
    conf.write(QStringLiteral("refclock SOCK %1 refid READ poll 0\nrefclock SOCK %2 refid MAIN poll 0 noselect\n"
                              "logdir %3\nlog refclocks\npidfile %4\nport 0\ncmdport 0\nbindcmdaddress %5\n")
                   .arg(reader, main, work.filePath(QStringLiteral("log")), work.filePath(QStringLiteral("pid")),
                        work.filePath(QStringLiteral("chronyd.sock")))
                   .toUtf8());
    conf.close();
    QProcess daemon;
    daemon.start(chronyd, {"-x", "-d", "-u", "root", "-f", conf.fileName()});
    for (int i = 0; i < 50 && !(QFile::exists(reader) && QFile::exists(main)); ++i)
        QThread::msleep(100);

    const bench::Pty line = bench::MakePty();
    {
        SettingsFile settings;
        settings.Write(QStringLiteral("ProgMode"), 1);
        settings.Write(QStringLiteral("InComName"), QStringLiteral("COM250"));
        settings.Write(QStringLiteral("InComSpeed"), QStringLiteral("9600"));
        settings.Write(QStringLiteral("ServerPort"), int(bench::FreePort()));
        SettingsFile(QStringLiteral("Ports")).Write(QStringLiteral("COM250"), line.slavePath);
        SettingsFile ntp(QStringLiteral("NTP"));
        ntp.Write(QStringLiteral("Socket"), reader);
        ntp.Write(QStringLiteral("TimeZone"), QStringLiteral("UTC"));
    }
    UnattendedView view(1);
    RelayController relay(&view);
    if (relay.Start(LoadRelaySettings({}).config) == 0) {
        std::fprintf(stderr, "the relay did not start\n");
        return 1;
    }
    // The second feed's words go to stderr; it has no status line, box or counters.
    struct StderrListener final : OutputListener
    {
        void OnOutputStatus(const QString&) override { }
        void OnOutputFault(const QString&) override { }
        void OnOutputEvent(OutputEvent) override { }
        int OnOutputBox(const QString&, const QString&, unsigned) override { return 0; }
        bool OnOutputLogAllows(const QLoggingCategory&, const QString&, const QString&) override { return true; }
        void OnOutputSaid(QtMsgType, const QString& text) override { std::fprintf(stderr, "%s\n", qPrintable(text)); }
        void OnClientsAllowed(const ClientsAllowed&) override { }
    } said;
    ChronyFeed mainThread(said, FeedPlan {main, QStringLiteral("UTC"), false, QString(), {9600, 9600}});
    const QMetaObject::Connection feeding = QObject::connect(&relay, &RelayController::ClockChanged, &relay, [&] {
        Sample value = relay.ClockValue;
        value.WallAt = system_clock::now();
        mainThread.Put({value, relay.ClockBuffer});
    });

    std::atomic<bool> writing {true};
    std::thread writer(WriteCodes, line.master, std::cref(writing), terminator);
    QTimer::singleShot((samples + 5) * 1000, &application, &QCoreApplication::quit);
    QCoreApplication::exec();
    writing = false;
    writer.join();
    // What chrony made of the two, as an admin sees it.
    QProcess sources;
    sources.start(QStringLiteral("chronyc"), {"-h", work.filePath(QStringLiteral("chronyd.sock")), "-n", "sources"});
    sources.waitForFinished();
    std::printf("%s\n", sources.readAllStandardOutput().constData());
    // The stop shows no time, which the feeder on the main thread would stamp as one.
    QObject::disconnect(feeding);
    relay.Stop();
    daemon.terminate();
    daemon.waitForFinished();

    const QString log = work.filePath(QStringLiteral("log/refclocks.log"));
    std::printf("chrony's raw offsets of the samples, milliseconds (%d s at 9600 baud%s):\n", samples + 5,
                terminator.isEmpty() ? "" : ", CR LF after each code");
    std::printf("%-40s %8s %8s %10s %8s %8s %8s\n", "feeder", "samples", "median", "deviation", "p5", "p95", "|worst|");
    for (const auto& [refid, name] : {std::pair {"READ", "Horaline, stamped in the reader"},
                                      std::pair {"MAIN", "stamped on the main thread once relayed"}}) {
        const Figures figures = RawOffsets(log, QLatin1String(refid));
        std::printf("%-40s %8zu %8.3f %10.3f %8.3f %8.3f %8.3f\n", name, figures.count, figures.medianMs,
                    figures.deviationMs, figures.p5Ms, figures.p95Ms, figures.worstMs);
    }
    return 0;
}
