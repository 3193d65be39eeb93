#include "support/ProgramRun.h"
#include "support/RelayFixture.h"
#include "support/TestMain.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <csignal>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>

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

// The program asked a question: what it printed, with its exit status.
QPair<int, QByteArray> Ask(const QStringList& arguments, const QList<QPair<QString, QString>>& changes = {},
                           const QString& asUser = QString())
{
    QProcess query;
    QStringList command = arguments;
    if (!asUser.isEmpty()) {
        // A user of the system, as a monitoring plugin runs: its own uid, gid and groups.
        command = QStringList {QStringLiteral("--reuid=") + asUser,
                               QStringLiteral("--regid=")
                                   + QString::number(::getpwnam(asUser.toLocal8Bit().constData())->pw_gid),
                               QStringLiteral("--init-groups"), QStringLiteral(HORALINE_BINARY)}
            + arguments;
        query.setProgram(QStringLiteral("setpriv"));
        query.setArguments(command);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        for (const auto& [name, value] : changes)
            environment.insert(name, value);
        query.setProcessEnvironment(environment);
        query.start();
    } else {
        StartWithoutDisplay(query, command, changes);
    }
    if (!query.waitForFinished(10000))
        return {-1, QByteArray()};
    return {query.exitCode(), query.readAllStandardOutput() + query.readAllStandardError()};
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
        StartWithoutDisplay(relay, {QStringLiteral("--headless"), QStringLiteral("--settings"), path}, service);
        QTcpSocket display;
        ConnectWhenListening(display, port);
        QTest::qWait(200);
        QVERIFY(line.Write("\x02"
                           "090807"));
        QVERIFY2(ReadUntil(display, 8) == "09:08:07", relay.readAllStandardError().constData());
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
        QString log;
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
              QStringLiteral("settings refused at reload (2 problem(s), see the log)")})
            QVERIFY2(log.contains(expected), qPrintable(expected + QStringLiteral(" not in:\n") + log));
    }

    void checkNamesEveryProblem()
    {
        QTemporaryDir etc;
        const QString path = etc.filePath(QStringLiteral("bad.ini"));
        QVERIFY(WriteAll(path,
                         "[Settaggi]\nProgMode=1\nInComname=COM3\nInComSpeed=fast\nServerPort=0\n[Standy]\n"
                         "After=3\n"));
        const auto [status, said] = Ask({QStringLiteral("--check"), QStringLiteral("--settings"), path});
        QCOMPARE(status, 78);
        for (const char* expected : {"error: ", "ServerPort=0 is no port number",
                                     "InComName (not set) names no serial port", "InComSpeed=fast is no speed",
                                     "warning: ", "InComname is no setting of [Settaggi]: did you mean InComName?",
                                     "[Standy] is no group of Horaline's: did you mean Standby?", "3 problem(s)"})
            QVERIFY2(said.contains(expected), said.constData());
        QVERIFY(WriteAll(path, "[Settaggi]\nProgMode=2\n"));
        const auto [mode, modeSaid] = Ask({QStringLiteral("--check"), QStringLiteral("--settings"), path});
        QVERIFY2(mode == 78 && modeSaid.contains("ProgMode=2 is no mode") && !modeSaid.contains("OutComName"),
                 modeSaid.constData());
        const auto [missing, missingSaid]
            = Ask({QStringLiteral("--check"), QStringLiteral("--settings"), etc.filePath(QStringLiteral("none.ini"))});
        QVERIFY2(missing == 78 && missingSaid.contains("does not exist"), missingSaid.constData());
    }

    // A monitor in the service's group may ask; anyone else is told it cannot, which is no relay down.
    void theServicesGroupMayAskItsStatus()
    {
        if (::geteuid() != 0)
            QSKIP("needs root to make a user");
        const QString user = QStringLiteral("hl%1").arg(QCoreApplication::applicationPid());
        QCOMPARE(QProcess::execute(QStringLiteral("useradd"),
                                   {QStringLiteral("--system"), QStringLiteral("--user-group"),
                                    QStringLiteral("--no-create-home"), user}),
                 0);
        const auto removeUser = qScopeGuard([&user] { QProcess::execute(QStringLiteral("userdel"), {user}); });
        const group* own = ::getgrnam(user.toLocal8Bit().constData());
        QVERIFY(own != nullptr);
        QTemporaryDir etc;
        QTemporaryDir run;
        PtyPair line;
        const QString path = etc.filePath(QStringLiteral("studio3.ini"));
        QVERIFY(WriteAll(path,
                         QStringLiteral("[Settaggi]\nProgMode=1\nInComName=COM7\nInComSpeed=9600\nServerPort=%1\n"
                                        "[Ports]\nCOM7=%2\n")
                             .arg(FreePort())
                             .arg(line.SlavePath)
                             .toUtf8()));
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
        ::kill(pid_t(relay.processId()), SIGTERM);
        QVERIFY(relay.waitForFinished(10000));
    }
};

HORALINE_GUILESS_TEST_MAIN(TestAdminFile)
#include "tst_adminfile.moc"
