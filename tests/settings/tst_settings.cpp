#include "settings/SettingsFile.h"
#include "settings/SettingsPath.h"
#include "support/BoxRecorder.h"
#include "support/FreePort.h"
#include "support/TestMain.h"
#include "ui/CRelayDlg.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QLockFile>
#include <QPushButton>
#include <QSettings>
#include <memory>
#include <unistd.h>

namespace {

QString ConfigFolder()
{
    return QFileInfo(SettingsPath()).absolutePath();
}

QByteArray FileText()
{
    QFile file(SettingsPath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteFileText(const QByteArray& text)
{
    QDir().mkpath(ConfigFolder());
    QFile file(SettingsPath());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

// What a fresh reader of the file sees, independent of the program's own store.
QVariant Stored(const char* name)
{
    QSettings reader(SettingsPath(), QSettings::IniFormat);
    return reader.value(QStringLiteral("Settaggi/") + QLatin1String(name));
}

const char* const AllNames[]
    = {"InComName", "InComSpeed", "OutComName", "OutComSpeed", "ServerName", "ServerPort", "ProgRun", "ProgMode"};

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private:
    BoxRecorder Boxes;

    std::unique_ptr<CRelayDlg> Launch()
    {
        auto window = std::make_unique<CRelayDlg>();
        window->SetPrompter(Boxes.Prompter());
        window->Create();
        if (!QTest::qWaitForWindowExposed(window.get()))
            qWarning("the window was not shown");
        return window;
    }

private slots:
    void init()
    {
        Boxes = BoxRecorder();
        QDir(ConfigFolder()).removeRecursively();
        QFile::remove(ConfigFolder());
        QCoreApplication::setApplicationName(QStringLiteral("Horaline"));
    }

    void firstLaunchWritesEveryValue()
    {
        Launch();
        QCOMPARE(SettingsPath(),
                 QDir(qEnvironmentVariable("XDG_CONFIG_HOME"))
                     .filePath(QStringLiteral("Remote Tickview System/Horaline.ini")));
        const QVariant expected[] = {"<Name>", "<Speed>", "<Name>", "<Speed>", "localhost", 6530, 0, 1};
        for (size_t i = 0; i < std::size(AllNames); ++i)
            QCOMPARE(Stored(AllNames[i]).toString(), expected[i].toString());
        // Integers are stored as plain numbers, texts as texts.
        const QByteArray text = FileText();
        QVERIFY(text.contains("[Settaggi]"));
        QVERIFY(text.contains("\nServerPort=6530\n"));
        QVERIFY(text.contains("\nProgRun=0\n"));
        QVERIFY(text.contains("\nInComName=<Name>\n"));
        QVERIFY(Boxes.Boxes.isEmpty());
    }

    void markersOfMissingValues()
    {
        WriteFileText("[Settaggi]\nInComName=\" \"\nInComSpeed=\nOutComName=COM3\nServerName=clock-7\n"
                      "ServerPort=0\nProgRun=-1\nProgMode=-1\n");
        auto window = Launch();
        QCOMPARE(window->InComName, QStringLiteral("<Name>"));
        QCOMPARE(window->InComSpeed, QString());
        QCOMPARE(window->OutComName, QStringLiteral("COM3"));
        QCOMPARE(window->OutComSpeed, QStringLiteral("<Speed>"));
        QCOMPARE(window->ServerName, QStringLiteral("clock-7"));
        QCOMPARE(window->Controls().ServerName->text(), QStringLiteral("CLOCK-7"));
        QCOMPARE(window->ServerPort, 6530);
        QCOMPARE(window->Relay().RunFlag, 0);
        QCOMPARE(window->RelayMode, 1);
        QCOMPARE(Stored("InComName").toString(), QStringLiteral("<Name>"));
        QCOMPARE(Stored("InComSpeed").toString(), QString());
        QCOMPARE(Stored("OutComSpeed").toString(), QStringLiteral("<Speed>"));
        // 0 would listen wherever the system chose: shown as the default, said, and left in the file.
        QCOMPARE(Stored("ServerPort").toInt(), 0);
        QCOMPARE(Stored("ProgRun").toInt(), 0);
        QCOMPARE(Stored("ProgMode").toInt(), 1);
    }

    void portsOutOfRangeAreShownAsStored_data()
    {
        QTest::addColumn<int>("port");
        QTest::newRow("70000") << 70000;
        QTest::newRow("-5") << -5;
    }

    void portsOutOfRangeAreShownAsStored()
    {
        QFETCH(int, port);
        WriteFileText("[Settaggi]\nServerPort=" + QByteArray::number(port) + "\n");
        auto window = Launch();
        QCOMPARE(window->ServerPort, port);
        QCOMPARE(window->Controls().ListenPort->text(), QString::number(port));
        QCOMPARE(window->Controls().ServerPort->text(), QString::number(port));
        QVERIFY(Boxes.Boxes.isEmpty());
        QCOMPARE(Stored("ServerPort").toInt(), port);
    }

    void unreadableValuesFallBackToDefaults()
    {
        WriteFileText("[Settaggi]\nServerPort=sixty\nProgRun=99999999999\nProgMode=@Variant(\\0\\0\\0\\x7f)\n"
                      "InComName=COM1, COM2\n");
        QTest::ignoreMessage(
            QtWarningMsg,
            QRegularExpression(QStringLiteral("^ServerPort=sixty in .*Horaline.ini is no port number from 1 to "
                                              "60000; 6530 is used instead$")));
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QStringLiteral("^InComName=COM1, COM2 in .* is not one "
                                                               "text; <Name> is used instead$")));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^ProgRun=99999999999 in .*")));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^ProgMode=.* is no number")));
        auto window = Launch();
        QCOMPARE(window->ServerPort, 6530);
        QCOMPARE(window->Relay().RunFlag, 0);
        QCOMPARE(window->RelayMode, 1);
        QCOMPARE(window->InComName, QStringLiteral("<Name>"));
        // What the operator wrote stays for the operator to mend.
        QCOMPARE(Stored("ServerPort").toString(), QStringLiteral("sixty"));
        QCOMPARE(Stored("InComName").toStringList(), (QStringList {"COM1", "COM2"}));
    }

    void storedModeOutsideBothButtons()
    {
        WriteFileText("[Settaggi]\nProgMode=2\n");
        auto window = Launch();
        QCOMPARE(window->RelayMode, 2);
        QVERIFY(!window->Controls().ModeClient->isChecked() && !window->Controls().ModeServer->isChecked());
        QCOMPARE(window->Controls().Status->text(), QStringLiteral("Client mode selected"));
    }

    void startWritesTheConfiguration()
    {
        auto window = Launch();
        window->Controls().ModeClient->click();
        window->Controls().ServerName->setText(QStringLiteral("MASTER"));
        window->Controls().ServerPort->setText(QStringLiteral("7001"));
        window->Controls().ListenPort->setText(QStringLiteral("6601"));
        window->Controls().Start->click();
        QCOMPARE(Stored("ServerName").toString(), QStringLiteral("MASTER"));
        QCOMPARE(Stored("ServerPort").toInt(), 6601);
        QCOMPARE(Stored("ProgMode").toInt(), 0);
        QCOMPARE(Stored("ProgRun").toInt(), 0);
        QCOMPARE(Stored("OutComName").toString(), QStringLiteral("<Port>"));
        QCOMPARE(Stored("OutComSpeed").toString(), QStringLiteral("<Speed>"));
        window.reset();

        // The next launch shows the listening port in both port fields.
        window = Launch();
        QCOMPARE(window->Controls().ServerPort->text(), QStringLiteral("6601"));
        QCOMPARE(window->Controls().ListenPort->text(), QStringLiteral("6601"));
        QCOMPARE(window->Controls().ServerName->text(), QStringLiteral("MASTER"));
        QCOMPARE(window->RelayMode, 0);
    }

    void runningStateSurvivesTheClose()
    {
        auto window = Launch();
        window->Relay().RunFlag = 1;
        window->Controls().Start->setChecked(true);
        window->EndSession();
        QCOMPARE(Stored("ProgRun").toInt(), 1);
        window.reset();

        // The next launch starts the relay by itself, and its start stores the state it found.
        window = Launch();
        QCOMPARE(Boxes.Texts(), QStringList {"Select a valid Port in Settings!"});
        QCOMPARE(Stored("ProgRun").toInt(), 1);
        QCOMPARE(window->focusWidget(), window->Controls().Start);
        window->EndSession();
        QCOMPARE(Stored("ProgRun").toInt(), 0);
    }

    void anyNonZeroRunStateStarts()
    {
        WriteFileText("[Settaggi]\nProgRun=2\n");
        auto window = Launch();
        QCOMPARE(Boxes.Texts(), QStringList {"Select a valid Port in Settings!"});
        QCOMPARE(Stored("ProgRun").toInt(), 2);
        QVERIFY(!window->Controls().Start->isChecked());
    }

    void damagedFileIsKeptAsideAndStartedAfresh_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("folder");
        QTest::newRow("not INI") << QByteArray("[Settaggi]\nServerPort=7100\n[broken\nProgRun=1\n") << false;
        // What a power cut can leave.
        QTest::newRow("zeros") << QByteArray(4096, '\0') << false;
        QTest::newRow("no group") << QByteArray("ServerPort=7100\nProgRun=1\n") << false;
        QTest::newRow("a folder in its place") << QByteArray() << true;
    }

    void damagedFileIsKeptAsideAndStartedAfresh()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, folder);
        if (folder)
            QDir().mkpath(SettingsPath());
        else
            WriteFileText(content);
        QTest::ignoreMessage(
            QtWarningMsg,
            QRegularExpression(QStringLiteral("^damaged settings file .*/Horaline.ini set aside as "
                                              ".*/Horaline.ini.malformed-\\d{8}-\\d{6} - starting afresh$")));
        auto window = Launch();
        QCOMPARE(window->ServerPort, 6530);
        QCOMPARE(window->Relay().RunFlag, 0);
        QCOMPARE(Stored("ServerPort").toInt(), 6530);
        const QStringList aside = QDir(ConfigFolder())
                                      .entryList({QStringLiteral("Horaline.ini.malformed-*")},
                                                 QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
        QCOMPARE(aside.size(), 1);
        QFile kept(QDir(ConfigFolder()).filePath(aside.first()));
        QCOMPARE(kept.open(QIODevice::ReadOnly) ? kept.readAll() : QByteArray(), content);
    }

    // An editor's UTF-8 byte-order mark before the only group: the settings as written.
    void aByteOrderMarkIsNoDamage()
    {
        WriteFileText("\xEF\xBB\xBF[Settaggi]\nServerPort=7100\n");
        auto window = Launch();
        QCOMPARE(window->ServerPort, 7100);
        QCOMPARE(QDir(ConfigFolder()).entryList({QStringLiteral("Horaline.ini.malformed-*")}), QStringList());
    }

    void noiseGivesDefaultsThatStick()
    {
        QByteArray noise(4096, '\0');
        for (int i = 0; i < noise.size(); ++i)
            noise[i] = char((i * 7919 + 13) % 251);
        WriteFileText(noise);
        auto window = Launch();
        QCOMPARE(window->ServerPort, 6530);
        QCOMPARE(window->Relay().RunFlag, 0);
        QCOMPARE(window->RelayMode, 1);
        const quint16 port = FreePort();
        window->Controls().ListenPort->setText(QString::number(port));
        window->Controls().Start->click();
        QCOMPARE(Stored("ServerPort").toInt(), int(port));
        QCOMPARE(Stored("ProgMode").toInt(), 1);
    }

    void unwritableFolderRunsOnDefaults()
    {
        // A file where the folder should be stops even root from writing there.
        QDir().mkpath(QFileInfo(ConfigFolder()).absolutePath());
        QFile blocker(ConfigFolder());
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        auto window = Launch();
        QCOMPARE(window->ServerPort, 6530);
        QCOMPARE(window->RelayMode, 1);
        window->Controls().ListenPort->setText(QString::number(FreePort()));
        window->Controls().Start->click();
        QCOMPARE(Boxes.Texts(), QStringList {"Select a valid Port in Settings!"});
        QVERIFY(QFileInfo(ConfigFolder()).isFile());
    }

    void whatAnInterruptedWriteLeftIsCleared()
    {
        WriteFileText("[Settaggi]\nServerPort=7400\n");
        const QString lockPath = SettingsPath() + QStringLiteral(".lock");
        const QString copy = SettingsPath() + QStringLiteral(".aB3xYz");
        const QString aside = SettingsPath() + QStringLiteral(".malformed-20261208-000000");
        for (const QString& path : {lockPath, copy, aside}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(-60), QFileDevice::FileModificationTime));
        }
        ClearInterruptedWrites(SettingsPath());
        QVERIFY(!QFile::exists(lockPath));
        QVERIFY(!QFile::exists(copy));
        // What the operator's own file says, and what was set aside, stays.
        QVERIFY(QFile::exists(aside));
        QCOMPARE(Stored("ServerPort").toInt(), 7400);

        // A lock that a live process holds is honoured.
        QLockFile live(lockPath);
        QVERIFY(live.tryLock(0));
        ClearInterruptedWrites(SettingsPath());
        QVERIFY(QFile::exists(lockPath));
        qint64 owner = 0;
        QVERIFY(live.getLockInfo(&owner, nullptr, nullptr) && owner == QCoreApplication::applicationPid());
    }

    void writesReplaceTheFileWhole()
    {
        Launch();
        // A hard link keeps the old file's content when a write goes through a new file and a rename;
        // a write in place would change it, and a crash in the middle would leave a torn file.
        const QString link = SettingsPath() + QStringLiteral(".before");
        QVERIFY(::link(QFile::encodeName(SettingsPath()).constData(), QFile::encodeName(link).constData()) == 0);
        const QByteArray before = FileText();
        {
            SettingsFile file;
            file.Write(QStringLiteral("ServerPort"), 7200);
        }
        QFile old(link);
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), before);
        QCOMPARE(Stored("ServerPort").toInt(), 7200);
    }

    void everyLoadReadsTheFile()
    {
        auto window = Launch();
        {
            SettingsFile file;
            file.Write(QStringLiteral("ServerName"), QStringLiteral("CHANGED"));
        }
        window->LoadSettings();
        QCOMPARE(window->ServerName, QStringLiteral("CHANGED"));
    }

    void renamedProgramKeepsSettingsOfItsOwn()
    {
        WriteFileText("[Settaggi]\nServerPort=7300\n");
        QCoreApplication::setApplicationName(QStringLiteral("Horaline-2"));
        auto window = Launch();
        QCOMPARE(window->ServerPort, 6530);
        QCOMPARE(QFileInfo(SettingsPath()).fileName(), QStringLiteral("Horaline-2.ini"));
        QCOMPARE(Stored("ServerPort").toInt(), 6530);
    }
};

HORALINE_TEST_MAIN(TestSettings)
#include "tst_settings.moc"
