#include "service/SingleInstance.h"
#include "support/ProgramRun.h"
#include "support/RelayFixture.h"
#include "support/TestMain.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <csignal>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <tuple>

namespace {

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteAll(const QString& path, const QByteArray& text)
{
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) == text.size();
}

// setpriv's arguments that run the program as a user of the system, as a monitoring plugin or another
// user's shell runs it: its own uid, gid and groups.
QStringList AsUser(const QString& user, const QStringList& arguments)
{
    return QStringList {QStringLiteral("--reuid=") + user,
                        QStringLiteral("--regid=")
                            + QString::number(::getpwnam(user.toLocal8Bit().constData())->pw_gid),
                        QStringLiteral("--init-groups"), QStringLiteral(HORALINE_BINARY)}
    + arguments;
}

// A system user made for one test, and removed after it.
struct MadeUser
{
    QString name = QStringLiteral("hl%1").arg(QCoreApplication::applicationPid());
    bool made = QProcess::execute(QStringLiteral("useradd"),
                                  {QStringLiteral("--system"), QStringLiteral("--user-group"),
                                   QStringLiteral("--no-create-home"), name})
        == 0;
    ~MadeUser()
    {
        if (made)
            QProcess::execute(QStringLiteral("userdel"), {name});
    }
};

QString ServerSettings(quint16 port, const PtyPair& line)
{
    return QStringLiteral("[Settaggi]\nProgMode=1\nInComName=COM7\nInComSpeed=9600\nServerPort=%1\n[Ports]\nCOM7=%2\n")
        .arg(port)
        .arg(line.SlavePath);
}

// A datagram socket's file at the path, as chrony leaves its reference clock's.
bool MakeSocketFile(const QString& path)
{
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    qstrncpy(address.sun_path, QFile::encodeName(path).constData(), sizeof(address.sun_path));
    const int bound = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const bool made = ::bind(bound, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    ::close(bound);
    return made;
}

// The program asked a question: what it printed, with its exit status.
QPair<int, QByteArray> Ask(const QStringList& arguments, const QList<QPair<QString, QString>>& changes = {},
                           const QString& asUser = QString())
{
    QProcess query;
    if (!asUser.isEmpty()) {
        query.setProgram(QStringLiteral("setpriv"));
        query.setArguments(AsUser(asUser, arguments));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        for (const auto& [name, value] : changes)
            environment.insert(name, value);
        query.setProcessEnvironment(environment);
        query.start();
    } else {
        StartWithoutDisplay(query, arguments, changes);
    }
    if (!query.waitForFinished(10000))
        return {-1, QByteArray()};
    return {query.exitCode(), query.readAllStandardOutput() + query.readAllStandardError()};
}

// A headless relay started on a settings file, with a display connected and one frame of these digits
// written to its line: what the display received.
QByteArray RelayedByHeadless(QProcess& relay, QTcpSocket& display, const QString& settings, quint16 port,
                             const PtyPair& line, const char* digits,
                             const QList<QPair<QString, QString>>& changes = {})
{
    StartWithoutDisplay(relay, {QStringLiteral("--headless"), QStringLiteral("--settings"), settings}, changes);
    ConnectWhenListening(display, port);
    QTest::qWait(200);
    if (!line.Write(QByteArray("\x02") + digits))
        return QByteArray();
    return ReadUntil(display, 8);
}

// Empty where a second relay on these settings is refused and the status is asked of the one that runs;
// otherwise what each said.
QByteArray RunsOnce(const QString& settings, const QList<QPair<QString, QString>>& changes)
{
    const auto [second, refused] = Ask({QStringLiteral("--headless"), QStringLiteral("--settings"), settings}, changes);
    const auto [status, said] = Ask({QStringLiteral("--status"), QStringLiteral("--settings"), settings}, changes);
    if (second == 1 && refused.contains("already runs") && status == 0 && said.startsWith("OK - "))
        return QByteArray();
    return "second relay: " + QByteArray::number(second) + ' ' + refused + "\n--status: " + QByteArray::number(status)
        + ' ' + said;
}

ino_t InodeOf(const QString& path)
{
    struct stat file = {};
    return ::stat(QFile::encodeName(path).constData(), &file) == 0 ? file.st_ino : 0;
}

} // namespace

class TestAdminFile : public QObject
{
    Q_OBJECT

private slots:
    void init() { ForgetSettings(); }

    // An administrator's file in /etc: read as it stands, run without ProgRun, never written, asked
    // about from a shell that has no runtime folder of its own.
    void aNamedFileIsRunAsItStandsAndNeverWritten()
    {
        QTemporaryDir etc;
        QTemporaryDir run;
        PtyPair line;
        const quint16 port = FreePort();
        const QString path = etc.filePath(QStringLiteral("studio2.ini"));
        const QByteArray text = QStringLiteral("; Studio 2's master clock, kept by configuration management.\n"
                                               "[Settaggi]\nProgMode=1\nInComName=COM7\nInComSpeed=9600\n"
                                               "ServerPort=%1\n\n[Ports]\nCOM7=%2\n\n[Clients]\n"
                                               "Allow=127.0.0.1;::1\n")
                                    .arg(port)
                                    .arg(line.SlavePath)
                                    .toUtf8();
        QVERIFY(WriteAll(path, text));
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        const QList<QPair<QString, QString>> service {{QStringLiteral("XDG_RUNTIME_DIR"), QString()},
                                                      {QStringLiteral("RUNTIME_DIRECTORY"), run.path()}};
        QCOMPARE(Ask({QStringLiteral("--check"), QStringLiteral("--settings"), path}).first, 0);

        QProcess relay;
        QTcpSocket display;
        const bool relayed = RelayedByHeadless(relay, display, path, port, line, "090807", service) == "09:08:07";
        QString log = QString::fromLocal8Bit(relay.readAllStandardError());
        QVERIFY2(relayed, qPrintable(log));
        const auto [status, said] = Ask({QStringLiteral("--status"), QStringLiteral("--settings"), path}, service);
        QVERIFY2(status == 0 && said.startsWith("OK - Horaline ") && !said.contains("QStandardPaths"),
                 said.constData());
        // Another environment is no other instance: the same file runs once.
        const auto [second, refused]
            = Ask({QStringLiteral("--headless"), QStringLiteral("--settings"), path},
                  {{QStringLiteral("XDG_RUNTIME_DIR"), QDir(run.path()).filePath(QStringLiteral("user"))},
                   {QStringLiteral("RUNTIME_DIRECTORY"), QString()}});
        QVERIFY2(second == 1 && refused.contains("already runs"), refused.constData());
        ::kill(pid_t(relay.processId()), SIGHUP);
        QTRY_VERIFY_WITH_TIMEOUT((log += QString::fromLocal8Bit(relay.readAllStandardError()))
                                     .contains(QStringLiteral("settings read again: nothing changed")),
                                 10000);
        QVERIFY(line.Write("\x02"
                           "090808"));
        QCOMPARE(ReadUntil(display, 8), QByteArray("09:08:08"));
        QCOMPARE(ReadAll(path), text);
        QCOMPARE(QDir(etc.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList {QStringLiteral("studio2.ini")});

        // A reload the settings cannot run: refused, every problem said and counted, the relay runs on.
        QVERIFY(WriteAll(path, text + "[Standby]\nAfter=0\nOwnClok=1\n"));
        QVERIFY(WriteAll(
            path, QString::fromUtf8(ReadAll(path)).replace(QStringLiteral("9600"), QStringLiteral("9601")).toUtf8()));
        ::kill(pid_t(relay.processId()), SIGHUP);
        QByteArray answer;
        const auto refusals = [&] {
            answer = Ask({QStringLiteral("--status"), QStringLiteral("--json"), QStringLiteral("--settings"), path},
                         service)
                         .second;
            return QJsonDocument::fromJson(answer)
                .object()[QStringLiteral("counters")][QStringLiteral("reloadsRefused")];
        };
        QTRY_VERIFY2_WITH_TIMEOUT(refusals() == 1, answer.constData(), 10000);
        QVERIFY(line.Write("\x02"
                           "090809"));
        QCOMPARE(ReadUntil(display, 8), QByteArray("09:08:09"));
        ::kill(pid_t(relay.processId()), SIGTERM);
        QVERIFY(relay.waitForFinished(10000));
        log += QString::fromLocal8Bit(relay.readAllStandardError());
        for (const QString& expected :
             {QStringLiteral("the rest of the line is a comment from ';' on, left out: ::1"),
              QStringLiteral("InComSpeed=9601 is no speed"), QStringLiteral("After=0 is no number of seconds"),
              QStringLiteral("OwnClok is no setting of [Standby]: did you mean OwnClock?"),
              QStringLiteral("settings refused at reload (2 problem(s), see the log)"),
              QStringLiteral("starts - server: ")})
            QVERIFY2(log.contains(expected), qPrintable(expected + QStringLiteral(" not in:\n") + log));
        QVERIFY(!log.contains(QStringLiteral("restart at launch")));
    }

    void checkNamesEveryProblem()
    {
        QTemporaryDir etc;
        const QString path = etc.filePath(QStringLiteral("bad.ini"));
        QVERIFY(WriteAll(path,
                         "[Settaggi]\nProgMode=1\nInComname=COM3\nInComSpeed=fast%1\nServerPort=0\n[Standy]\n"
                         "After=3\n"));
        const auto [status, said] = Ask({QStringLiteral("--check"), QStringLiteral("--settings"), path});
        QCOMPARE(status, 78);
        for (const char* expected :
             {"error: ", "ServerPort=0 is no port number", "InComName (not set) names no serial port",
              // A value is shown as written, never a place for the fault's words.
              "InComSpeed=fast%1 is no speed: write one of 300,",
              "warning: ", "InComname is no setting of [Settaggi]: did you mean InComName?",
              "[Standy] is no group of Horaline's: did you mean Standby?", "3 problem(s)"})
            QVERIFY2(said.contains(expected), said.constData());
        QVERIFY(WriteAll(path,
                         "[Settaggi]\nProgMode=1\nInComName=COM3\nServerPort=8530\n[Web]\nListen=127.0.0.1:8530\n"
                         "Displays=0\n"));
        const auto [web, webSaid] = Ask({QStringLiteral("--check"), QStringLiteral("--settings"), path});
        QVERIFY2(web == 78 && webSaid.contains("Listen=127.0.0.1:8530 takes the clock port, ServerPort=8530")
                     && webSaid.contains("[Web] Displays=0 is no number of screens from 1 to 10000"),
                 webSaid.constData());
        QVERIFY(WriteAll(path, "[Settaggi]\nProgMode=2\n"));
        const auto [mode, modeSaid] = Ask({QStringLiteral("--check"), QStringLiteral("--settings"), path});
        QVERIFY2(mode == 78 && modeSaid.contains("ProgMode=2 is no mode") && !modeSaid.contains("OutComName"),
                 modeSaid.constData());
        const auto [missing, missingSaid]
            = Ask({QStringLiteral("--check"), QStringLiteral("--settings"), etc.filePath(QStringLiteral("none.ini"))});
        QVERIFY2(missing == 78 && missingSaid.contains("does not exist"), missingSaid.constData());
        // A status asked of a misspelt file is not known, rather than a relay down.
        const auto [unknown, unknownSaid]
            = Ask({QStringLiteral("--status"), QStringLiteral("--settings"), etc.filePath(QStringLiteral("none.ini"))});
        QVERIFY2(unknown == 3 && unknownSaid.startsWith("UNKNOWN - ") && unknownSaid.contains("no such file"),
                 unknownSaid.constData());

        // A byte-order mark is no damage; a path in another encoding is refused, not mangled; a damaged
        // file is said to be, and stays where it is, as it is.
        PtyPair line;
        const QByteArray good = ServerSettings(FreePort(), line).toUtf8();
        QVERIFY(WriteAll(path, "\xEF\xBB\xBF" + good));
        const auto [marked, markedSaid] = Ask({QStringLiteral("--check"), QStringLiteral("--settings"), path});
        QVERIFY2(marked == 0 && markedSaid.contains("the relay can run on it"), markedSaid.constData());
        // A standby that [Ports] makes the primary's own device, as the relay's start would refuse it.
        QVERIFY(WriteAll(path,
                         good + "COM8=" + line.SlavePath.toUtf8() + "\n[Standby]\nInComName=COM8\nInComSpeed=9600\n"));
        const auto [clash, clashSaid] = Ask({QStringLiteral("--check"), QStringLiteral("--settings"), path});
        QVERIFY2(clash == 78 && clashSaid.contains("InComName=COM8 is the primary's own line COM7"),
                 clashSaid.constData());
        // chrony's socket: not there yet is waited for; a zone nobody knows is an error.
        QVERIFY(WriteAll(path, good + "[NTP]\nSocket=/run/nowhere.sock\nTimeZone=Europe/Nowhere\n"));
        const auto [zone, zoneSaid] = Ask({QStringLiteral("--check"), QStringLiteral("--settings"), path});
        QVERIFY2(zone == 78 && zoneSaid.contains("TimeZone=Europe/Nowhere is no time zone"), zoneSaid.constData());
        QVERIFY(WriteAll(path, good + "[NTP]\nSocket=/run/nowhere.sock\nTimeZone=Europe/Rome\n"));
        const auto [ntp, ntpSaid] = Ask({QStringLiteral("--check"), QStringLiteral("--settings"), path});
        QVERIFY2(ntp == 0 && ntpSaid.contains("warning: ")
                     && ntpSaid.contains("Socket=/run/nowhere.sock does not exist"),
                 ntpSaid.constData());
        // A largest error no clock is judged by, and one that judges none unsynchronised.
        QVERIFY(WriteAll(path, good + "[Source]\nMaxError=16\n"));
        const auto [error, errorSaid] = Ask({QStringLiteral("--check"), QStringLiteral("--settings"), path});
        QVERIFY2(error == 0 && errorSaid.contains("MaxError=16 is asked of no source")
                     && errorSaid.contains("MaxError=16 never calls this computer's clock unsynchronised"),
                 errorSaid.constData());
        QVERIFY(WriteAll(path, QByteArray(good).replace(line.SlavePath.toUtf8(), "/dev/serial/by-id/caf\xe9")));
        const auto [latin, latinSaid] = Ask({QStringLiteral("--check"), QStringLiteral("--settings"), path});
        QVERIFY2(latin == 78 && latinSaid.contains("[Ports] COM7 is not UTF-8 text"), latinSaid.constData());
        // What stands behind the line, as the relay will meet it.
        const QString plain = etc.filePath(QStringLiteral("plain"));
        const QString fifo = etc.filePath(QStringLiteral("fifo"));
        QVERIFY(WriteAll(plain, "not a line\n") && ::mkfifo(fifo.toLocal8Bit().constData(), 0600) == 0);
        for (const auto& [device, status, expected] :
             {std::tuple {plain, 78, "is a file, no serial line"}, std::tuple {fifo, 78, "is a FIFO, no serial line"},
              std::tuple {QStringLiteral("/dev/nonexistent"), 0, "does not exist now: the relay will wait for it"}}) {
            QVERIFY(WriteAll(path, QByteArray(good).replace(line.SlavePath.toUtf8(), device.toUtf8())));
            const auto [checked, checkSaid] = Ask({QStringLiteral("--check"), QStringLiteral("--settings"), path});
            QVERIFY2(checked == status
                         && checkSaid.contains(QStringLiteral("COM7 = %1 %2").arg(device, expected).toUtf8()),
                     checkSaid.constData());
        }
        QVERIFY(QFile::remove(plain) && QFile::remove(fifo));
        const QByteArray zeros(512, '\0');
        QVERIFY(WriteAll(path, zeros));
        const auto [damaged, damagedSaid] = Ask({QStringLiteral("--check"), QStringLiteral("--settings"), path});
        QVERIFY2(damaged == 78 && damagedSaid.contains("is no settings file"), damagedSaid.constData());
        QCOMPARE(ReadAll(path), zeros);
        QCOMPARE(QDir(etc.path()).entryList(QDir::Files), QStringList {QStringLiteral("bad.ini")});
    }

    // A copy of a file that runs is told who holds its line and its port, by the check and by the relay.
    void aCopiedFileIsToldWhoHoldsItsLineAndPort()
    {
        QTemporaryDir etc;
        PtyPair line;
        const quint16 port = FreePort();
        const QString first = etc.filePath(QStringLiteral("studio1.ini"));
        const QString copy = etc.filePath(QStringLiteral("studio1-copy.ini"));
        const QString feed = QStringLiteral("[NTP]\nSocket=%1\n").arg(etc.filePath(QStringLiteral("refclock.sock")));
        QVERIFY(WriteAll(first, (ServerSettings(port, line) + feed).toUtf8())
                && WriteAll(copy, (ServerSettings(port, line) + feed).toUtf8()));
        QProcess relay;
        QTcpSocket display;
        QCOMPARE(RelayedByHeadless(relay, display, first, port, line, "111111"), QByteArray("11:11:11"));
        const QString holder = QStringLiteral("Horaline pid %1 on the settings %2").arg(relay.processId()).arg(first);
        const auto [status, said] = Ask({QStringLiteral("--check"), QStringLiteral("--settings"), copy});
        QVERIFY2(
            status == 0
                && said.contains(QStringLiteral("COM7 = %1 is held now by %2").arg(line.SlavePath, holder).toUtf8())
                && said.contains(QStringLiteral("ServerPort=%1 is taken now by %2").arg(port).arg(holder).toUtf8())
                && said.contains(QStringLiteral("refclock.sock is fed by %1 too").arg(holder).toUtf8()),
            said.constData());
        const auto [own, ownSaid] = Ask({QStringLiteral("--check"), QStringLiteral("--settings"), first});
        QVERIFY2(own == 0 && !ownSaid.contains("held now") && !ownSaid.contains("taken now")
                     && !ownSaid.contains("fed by"),
                 ownSaid.constData());

        QProcess second;
        StartWithoutDisplay(second, {QStringLiteral("--headless"), QStringLiteral("--settings"), copy});
        QString log;
        QTRY_VERIFY2_WITH_TIMEOUT(
            (log += QString::fromLocal8Bit(second.readAllStandardError()))
                .contains(QStringLiteral("COM7 is busy ! (%1): Device or resource busy (errno 16) - "
                                         "%2 holds the device")
                              .arg(line.SlavePath, holder)),
            qPrintable(log), 10000);
        for (QProcess* each : {&second, &relay}) {
            ::kill(pid_t(each->processId()), SIGTERM);
            QVERIFY(each->waitForFinished(10000));
        }
    }

    // A system instance's file is judged for the service that runs it, whoever asks: a line where the
    // service cannot see it, and a line and chrony's socket that the unit's user (one made here, named by a
    // unit in /etc/systemd/system) may not open, though root may. Checked in a mount namespace of its own
    // where /etc is overlaid, the real one untouched.
    void aServiceFileIsJudgedForItsService()
    {
        if (::geteuid() != 0 || QStandardPaths::findExecutable(QStringLiteral("unshare")).isEmpty())
            QSKIP("needs root and unshare for a mount namespace");
        const MadeUser made;
        QVERIFY(made.made);
        QTemporaryDir layer;
        PtyPair line;
        const QString link = layer.filePath(QStringLiteral("clock"));
        QVERIFY(QFile::link(line.SlavePath, link) && QDir(layer.path()).mkpath(QStringLiteral("up"))
                && QDir(layer.path()).mkpath(QStringLiteral("work")));
        const QString socket = layer.filePath(QStringLiteral("refclock.sock"));
        QVERIFY(MakeSocketFile(socket));
        QString settings = ServerSettings(FreePort(), line) + QStringLiteral("[NTP]\nSocket=%1\n").arg(socket);
        settings.replace(line.SlavePath, link).replace(QStringLiteral("\n"), QStringLiteral("\\n"));
        const QString script
            = QStringLiteral(
                  "{ mount -t overlay overlay -o lowerdir=/etc,upperdir=%1/up,workdir=%1/work /etc || exit 77; } && "
                  "mkdir -p /etc/horaline /etc/systemd/system && printf '%2' > /etc/horaline/studio9.ini && "
                  "printf '[Service]\\nUser=%4\\nGroup=%4\\n' > /etc/systemd/system/horaline@.service && "
                  "exec %3 --check --settings /etc/horaline/studio9.ini")
                  .arg(layer.path(), settings, QStringLiteral(HORALINE_BINARY), made.name);
        QProcess check;
        check.start(QStringLiteral("unshare"),
                    {QStringLiteral("--mount"), QStringLiteral("--propagation"), QStringLiteral("private"),
                     QStringLiteral("sh"), QStringLiteral("-c"), script});
        QVERIFY(check.waitForFinished(10000));
        const QByteArray said = check.readAllStandardOutput() + check.readAllStandardError();
        // A machine that lets no one make a mount namespace or an overlay (a container, say) cannot hold it.
        if (check.exitStatus() == QProcess::NormalExit && (check.exitCode() == 77 || said.startsWith("unshare: ")))
            QSKIP(said.constData());
        const QString service
            = QStringLiteral("%1, the user the system service horaline@studio9 runs as").arg(made.name);
        QVERIFY2(
            check.exitCode() == 0
                && said.contains(
                    QStringLiteral("COM7 = %1 is under /tmp, which the system service does not see").arg(link).toUtf8())
                && said.contains(
                    QStringLiteral("COM7 = %1 cannot be read and written by %2 - ").arg(link, service).toUtf8())
                && said.contains(
                    QStringLiteral("[NTP] Socket=%1 cannot be written by %2: ").arg(socket, service).toUtf8()),
            said.constData());
        QVERIFY(!QFileInfo::exists(QStringLiteral("/etc/horaline/studio9.ini")));
    }

    // A monitor in the service's group may ask; anyone else is told it cannot, which is no relay down.
    void theServicesGroupMayAskItsStatus()
    {
        if (::geteuid() != 0)
            QSKIP("needs root to make a user");
        const MadeUser made;
        QVERIFY(made.made);
        const QString& user = made.name;
        const group* own = ::getgrnam(user.toLocal8Bit().constData());
        QVERIFY(own != nullptr);
        QTemporaryDir etc;
        QTemporaryDir run;
        PtyPair line;
        const QString path = etc.filePath(QStringLiteral("studio3.ini"));
        QVERIFY(WriteAll(path, ServerSettings(FreePort(), line).toUtf8()));
        // As systemd makes RuntimeDirectory=horaline for the service's group; what is made in it is the group's.
        for (const QString& folder : {etc.path(), run.path()})
            QVERIFY(::chmod(folder.toLocal8Bit().constData(), 02755) == 0);
        QVERIFY(::chown(run.path().toLocal8Bit().constData(), 0, own->gr_gid) == 0
                && ::chmod(run.path().toLocal8Bit().constData(), 02750) == 0);
        QProcess relay;
        const QList<QPair<QString, QString>> service {{QStringLiteral("RUNTIME_DIRECTORY"), run.path()}};
        StartWithoutDisplay(relay, {QStringLiteral("--settings"), path}, service);
        QTRY_VERIFY_WITH_TIMEOUT(!QDir(run.path()).entryList(QDir::System).isEmpty(), 10000);

        const QStringList question {QStringLiteral("--status"), QStringLiteral("--settings"), path};
        const auto [member, memberSaid] = Ask(question, service, user);
        QVERIFY2(member <= 2 && memberSaid.contains(" - Horaline ") && !memberSaid.contains("QStandardPaths"),
                 memberSaid.constData());
        const auto [stranger, strangerSaid] = Ask(question, service, QStringLiteral("nobody"));
        QVERIFY2(stranger == 3 && strangerSaid.startsWith("UNKNOWN - "), strangerSaid.constData());
        // A monitor's JSON says the same: not asked, and not that the relay is stopped.
        const auto [strangerJson, json]
            = Ask(question + QStringList {QStringLiteral("--json")}, service, QStringLiteral("nobody"));
        const QJsonObject answer = QJsonDocument::fromJson(json).object();
        QVERIFY2(strangerJson == 3 && answer[QStringLiteral("health")] == QStringLiteral("not asked")
                     && !answer.contains(QStringLiteral("running")),
                 json.constData());
        ::kill(pid_t(relay.processId()), SIGTERM);
        QVERIFY(relay.waitForFinished(10000));
    }

    // Every path to one file is the same settings: a hard link, and a link retargeted at a reload; a
    // relay with no runtime folder is said to run, not to be down.
    void oneRelayPerFileWhateverItsPath()
    {
        QTemporaryDir etc;
        QTemporaryDir run;
        PtyPair line;
        const quint16 port = FreePort();
        const QString path = etc.filePath(QStringLiteral("studio.ini"));
        const QString linked = etc.filePath(QStringLiteral("linked.ini"));
        const QString other = etc.filePath(QStringLiteral("other.ini"));
        QVERIFY(WriteAll(path, ServerSettings(port, line).toUtf8()));
        QVERIFY(WriteAll(other, ServerSettings(port, line).toUtf8()));
        QCOMPARE(::link(path.toLocal8Bit().constData(), linked.toLocal8Bit().constData()), 0);
        const QList<QPair<QString, QString>> service {{QStringLiteral("XDG_RUNTIME_DIR"), QString()},
                                                      {QStringLiteral("RUNTIME_DIRECTORY"), run.path()}};
        QProcess relay;
        QTcpSocket display;
        QCOMPARE(RelayedByHeadless(relay, display, path, port, line, "010203", service), QByteArray("01:02:03"));
        const QByteArray linkedRun = RunsOnce(linked, service);
        QVERIFY2(linkedRun.isEmpty(), (linkedRun + "\nrelay's log: " + relay.readAllStandardError()).constData());
        // The path's file replaced, as an editor saves: the one left under the link is no longer the relay's.
        QVERIFY(WriteAll(path + QStringLiteral(".new"), ServerSettings(port, line).toUtf8())
                && ::rename((path + QStringLiteral(".new")).toLocal8Bit().constData(), path.toLocal8Bit().constData())
                    == 0);
        QProcess apart;
        StartWithoutDisplay(apart, {QStringLiteral("--headless"), QStringLiteral("--settings"), linked}, service);
        QTest::qWait(1500);
        QVERIFY2(apart.state() == QProcess::Running, apart.readAllStandardError().constData());
        ::kill(pid_t(apart.processId()), SIGTERM);
        QVERIFY(apart.waitForFinished(10000));

        QVERIFY(QFile::remove(path) && QFile::link(other, path));
        ::kill(pid_t(relay.processId()), SIGHUP);
        QString log;
        QTRY_VERIFY_WITH_TIMEOUT((log += QString::fromLocal8Bit(relay.readAllStandardError()))
                                     .contains(QStringLiteral("settings read again")),
                                 10000);
        const QByteArray otherRun = RunsOnce(other, service);
        QVERIFY2(otherRun.isEmpty(), (otherRun + "\nrelay's log: " + log.toLocal8Bit()).constData());
        ::kill(pid_t(relay.processId()), SIGTERM);
        QVERIFY(relay.waitForFinished(10000));

        const QList<QPair<QString, QString>> nowhere {{QStringLiteral("XDG_RUNTIME_DIR"), QString()},
                                                      {QStringLiteral("RUNTIME_DIRECTORY"), QString()}};
        StartWithoutDisplay(relay, {QStringLiteral("--headless"), QStringLiteral("--settings"), path}, nowhere);
        ConnectWhenListening(display, port);
        const auto [status, said] = Ask({QStringLiteral("--status"), QStringLiteral("--settings"), path}, nowhere);
        QVERIFY2(status == 3 && said.startsWith("UNKNOWN - ") && said.contains("has no status socket"),
                 said.constData());
        const QJsonObject json = QJsonDocument::fromJson(Ask({QStringLiteral("--status"), QStringLiteral("--json"),
                                                              QStringLiteral("--settings"), path},
                                                             nowhere)
                                                             .second)
                                     .object();
        QVERIFY(json[QStringLiteral("health")] == QStringLiteral("not asked")
                && !json.contains(QStringLiteral("running")));
        ::kill(pid_t(relay.processId()), SIGTERM);
        QVERIFY(relay.waitForFinished(10000));
    }

    // A file system gives a freed inode to the next file made: the file a relay still holds after an
    // editor replaced it is no claim on the new file, which a second path still shows to run once.
    void aFreedInodeIsNoClaimOnTheNextFile()
    {
        QTemporaryDir etc;
        QTemporaryDir run;
        PtyPair oldLine;
        PtyPair line;
        const quint16 port = FreePort();
        const QString replaced = etc.filePath(QStringLiteral("replaced.ini"));
        const QString path = etc.filePath(QStringLiteral("studio.ini"));
        const QString linked = etc.filePath(QStringLiteral("linked.ini"));
        const QList<QPair<QString, QString>> service {{QStringLiteral("RUNTIME_DIRECTORY"), run.path()}};
        QVERIFY(WriteAll(replaced, ServerSettings(FreePort(), oldLine).toUtf8()));
        QProcess holder;
        StartWithoutDisplay(holder, {QStringLiteral("--headless"), QStringLiteral("--settings"), replaced}, service);
        QByteArray held;
        QTRY_VERIFY_WITH_TIMEOUT((held += holder.readAllStandardError()).contains("listening on port"), 10000);
        const ino_t inode = InodeOf(replaced);
        QVERIFY(WriteAll(replaced + QStringLiteral(".new"), ServerSettings(FreePort(), oldLine).toUtf8())
                && ::rename(QFile::encodeName(replaced + QStringLiteral(".new")).constData(),
                            QFile::encodeName(replaced).constData())
                    == 0);
        QVERIFY(WriteAll(path, ServerSettings(port, line).toUtf8()));
        struct statx made = {};
        const bool born = ::statx(AT_FDCWD, QFile::encodeName(path).constData(), 0, STATX_BTIME, &made) == 0
            && (made.stx_mask & STATX_BTIME) != 0;
        if (InodeOf(path) != inode || !born) {
            ::kill(pid_t(holder.processId()), SIGTERM);
            QVERIFY(holder.waitForFinished(10000));
            QSKIP("this file system gave the freed inode to no new file, or keeps no file's birth");
        }
        QCOMPARE(::link(QFile::encodeName(path).constData(), QFile::encodeName(linked).constData()), 0);
        QProcess relay;
        QTcpSocket display;
        QCOMPARE(RelayedByHeadless(relay, display, path, port, line, "010203", service), QByteArray("01:02:03"));
        const QByteArray linkedRun = RunsOnce(linked, service);
        QVERIFY2(linkedRun.isEmpty(), (linkedRun + "\nrelay's log: " + relay.readAllStandardError()).constData());
        for (QProcess* running : {&relay, &holder}) {
            ::kill(pid_t(running->processId()), SIGTERM);
            QVERIFY(running->waitForFinished(10000));
        }
    }

    // chrony's drop-in runs as root whatever user chrony.service runs as, and never fails chrony's start:
    // run as another user, or with the group gone (the relay's package purged), it does nothing and ends
    // well; as root it lets the group write the socket.
    void chronysDropInNeverFailsChrony()
    {
        if (::geteuid() != 0)
            QSKIP("needs root to make a user and to give a socket a group");
        const QString dropIn
            = QString::fromUtf8(ReadAll(QStringLiteral(HORALINE_SOURCE_DIR "/packaging/chrony-horaline.conf")));
        const QString start = dropIn.section(QStringLiteral("ExecStartPost="), 1).section(QLatin1Char('\n'), 0, 0);
        const QString prefixes = start.section(QLatin1Char('/'), 0, 0);
        QVERIFY2(prefixes.contains(QLatin1Char('+')) && prefixes.contains(QLatin1Char('-')), qPrintable(start));
        QString script = start.section(QLatin1Char('\''), 1, -2).replace(QStringLiteral("$$"), QStringLiteral("$"));
        const MadeUser made;
        QVERIFY(made.made);
        QTemporaryDir folder;
        const QString socket = folder.filePath(QStringLiteral("refclock.sock"));
        script.replace(QStringLiteral("/run/chrony.horaline.sock"), socket);
        QVERIFY(MakeSocketFile(socket));
        QVERIFY(::chmod(folder.path().toLocal8Bit().constData(), 0755) == 0);
        const auto run = [&](const QString& group, const QString& user) {
            const QString command
                = QString(script).replace(QStringLiteral(" horaline "), QLatin1Char(' ') + group + QLatin1Char(' '));
            const QStringList shell {QStringLiteral("sh"), QStringLiteral("-c"), command};
            return user.isEmpty()
                ? QProcess::execute(QStringLiteral("sh"), shell.mid(1))
                : QProcess::execute(QStringLiteral("setpriv"),
                                    QStringList {QStringLiteral("--reuid=") + user, QStringLiteral("--regid=") + user,
                                                 QStringLiteral("--clear-groups")}
                                        + shell);
        };
        const auto owned = [&socket] {
            struct stat node = {};
            ::stat(socket.toLocal8Bit().constData(), &node);
            return qMakePair(node.st_gid, node.st_mode & 0070);
        };
        const auto before = owned();
        QCOMPARE(run(made.name, made.name), 0);
        QCOMPARE(run(made.name + QStringLiteral("gone"), QString()), 0);
        QCOMPARE(owned(), before);
        QCOMPARE(run(made.name, QString()), 0);
        QCOMPARE(owned(),
                 qMakePair(::getgrnam(made.name.toLocal8Bit().constData())->gr_gid, mode_t(before.second | 0020)));
    }

    // No other user can keep a relay from starting or make it write where it should not: a link planted
    // where its lock folder goes is not followed, and another user's relay on the same file only holds
    // the port until it ends.
    void anotherUserNeitherStopsNorSteersARelay()
    {
        if (::geteuid() != 0)
            QSKIP("needs root to make a user");
        const MadeUser made;
        QVERIFY(made.made);
        QTemporaryDir base;
        QTemporaryDir etc;
        QVERIFY(::chmod(base.path().toLocal8Bit().constData(), 01777) == 0
                && ::chmod(etc.path().toLocal8Bit().constData(), 0755) == 0);
        const QString secret = etc.filePath(QStringLiteral("secret"));
        QVERIFY(WriteAll(secret, "root's own\n")
                && QFile::setPermissions(secret, QFile::ReadOwner | QFile::WriteOwner));
        QCOMPARE(QProcess::execute(QStringLiteral("setpriv"),
                                   {QStringLiteral("--reuid=") + made.name, QStringLiteral("ln"), QStringLiteral("-s"),
                                    secret, QDir(base.path()).filePath(QStringLiteral("horaline-0"))}),
                 0);
        {
            SingleInstance instance(base.path());
            QVERIFY(instance.Acquire());
        }
        struct stat folder = {};
        QVERIFY(::lstat(QDir(base.path()).filePath(QStringLiteral("horaline-0")).toLocal8Bit().constData(), &folder)
                    == 0
                && S_ISDIR(folder.st_mode) && folder.st_uid == 0 && (folder.st_mode & 077) == 0);
        QCOMPARE(ReadAll(secret), QByteArray("root's own\n"));
        QCOMPARE(QFileInfo(secret).permissions() & QFile::ReadOther, QFile::Permissions());
        // Nor is a folder that user made there, however closed it looks: it is set aside and made anew.
        const QString folderPath = QDir(base.path()).filePath(QStringLiteral("horaline-0"));
        QVERIFY(QDir(folderPath).removeRecursively());
        QCOMPARE(QProcess::execute(QStringLiteral("setpriv"),
                                   {QStringLiteral("--reuid=") + made.name, QStringLiteral("mkdir"),
                                    QStringLiteral("-m"), QStringLiteral("700"), folderPath}),
                 0);
        {
            SingleInstance instance(base.path());
            QVERIFY(instance.Acquire());
        }
        QVERIFY(::lstat(folderPath.toLocal8Bit().constData(), &folder) == 0 && S_ISDIR(folder.st_mode)
                && folder.st_uid == 0);
        QCOMPARE(QDir(base.path()).entryList({QStringLiteral("horaline-0.untrusted-*")}, QDir::Dirs).size(), 1);

        PtyPair line;
        QVERIFY(::chmod(line.SlavePath.toLocal8Bit().constData(), 0666) == 0);
        const quint16 port = FreePort();
        const QString path = etc.filePath(QStringLiteral("studio4.ini"));
        QVERIFY(WriteAll(path, ServerSettings(port, line).toUtf8())
                && QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        QProcess theirs;
        theirs.start(QStringLiteral("setpriv"),
                     AsUser(made.name, {QStringLiteral("--headless"), QStringLiteral("--settings"), path}));
        QTcpSocket display;
        ConnectWhenListening(display, port);
        QProcess ours;
        StartWithoutDisplay(ours, {QStringLiteral("--headless"), QStringLiteral("--settings"), path});
        QString log;
        QTRY_VERIFY_WITH_TIMEOUT((log += QString::fromLocal8Bit(ours.readAllStandardError()))
                                     .contains(QStringLiteral("cannot listen on port %1").arg(port)),
                                 10000);
        QVERIFY2(ours.state() == QProcess::Running && !log.contains(QStringLiteral("already runs")), qPrintable(log));
        ::kill(pid_t(theirs.processId()), SIGTERM);
        QVERIFY(theirs.waitForFinished(10000));
        QTcpSocket ourDisplay;
        ConnectWhenListening(ourDisplay, port);
        QTRY_VERIFY_WITH_TIMEOUT((line.Write("\x02"
                                             "070605"),
                                  ReadUntil(ourDisplay, 8, 500).contains("07:06:05")),
                                 10000);
        ::kill(pid_t(ours.processId()), SIGTERM);
        QVERIFY(ours.waitForFinished(10000));
    }
};

HORALINE_GUILESS_TEST_MAIN(TestAdminFile)
#include "tst_adminfile.moc"
