#include "settings/SettingsFile.h"
#include "settings/SettingsPath.h"
#include "support/BoxRecorder.h"
#include "support/FreePort.h"
#include "support/TestMain.h"
#include "support/WindowFixture.h"
#include "ui/AboutBox.h"
#include "ui/CRelayDlg.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>

namespace {

constexpr unsigned Confirmation = MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2;

QRect Pixels(const CRelayDlg& window, QRect units)
{
    return DialogToPixels(units, MeasureDialogFont(window.font()));
}

QStringList Items(const QComboBox* list)
{
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items.append(list->itemText(i));
    return items;
}

// Which of the configuration controls are enabled, named by their ids.
QStringList EnabledControls(const RelayControls& c)
{
    const std::pair<QWidget*, const char*> controls[] = {{c.ModeClient, "mode client"},
                                                         {c.ModeServer, "mode server"},
                                                         {c.InComName, "in name"},
                                                         {c.InComSpeed, "in speed"},
                                                         {c.ServerName, "server name"},
                                                         {c.ServerPort, "server port"},
                                                         {c.OutComName, "out name"},
                                                         {c.OutComSpeed, "out speed"},
                                                         {c.LocalName, "local name"},
                                                         {c.ListenPort, "listen port"},
                                                         {c.LocalAddrs, "local addrs"},
                                                         {c.Start, "start"},
                                                         {c.About, "about"},
                                                         {c.Exit, "exit"}};
    QStringList enabled;
    for (const auto& [control, name] : controls) {
        if (control->isEnabled())
            enabled.append(QLatin1String(name));
    }
    return enabled;
}

const QStringList ServerControls {"mode client", "mode server", "in name", "in speed", "local name",
                                  "listen port", "local addrs", "start",   "about",    "exit"};
const QStringList ClientControls {"mode client", "mode server", "server name", "server port", "out name",
                                  "out speed",   "start",       "about",       "exit"};

// Answers the About box from inside its own modal loop, with a bounded number of tries.
void CloseAboutBoxWhenOpen(QRect* seenGeometry, QString* seenTitle, int tries = 100)
{
    QTimer::singleShot(20, [=] {
        auto* box = qobject_cast<CAboutBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            if (tries > 0)
                CloseAboutBoxWhenOpen(seenGeometry, seenTitle, tries - 1);
            return;
        }
        *seenGeometry = box->OkButton()->geometry();
        *seenTitle = box->windowTitle() + QLatin1Char('|') + QString::number(box->height());
        box->OkButton()->click();
    });
}

} // namespace

class TestRelayWindow : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<CRelayDlg> Window;
    BoxRecorder Boxes;
    const RelayControls& Ui() const { return Window->Controls(); }

private slots:
    void init()
    {
        // Every case starts as a first launch.
        QFile::remove(SettingsPath());
        Boxes = BoxRecorder();
        Window = std::make_unique<CRelayDlg>();
        Window->SetPrompter(Boxes.Prompter());
        Window->Create();
        QVERIFY(QTest::qWaitForWindowExposed(Window.get()));
    }

    void cleanup() { Window.reset(); }

    void startsIdleInServerMode()
    {
        QCOMPARE(Window->RelayMode, 1);
        QCOMPARE(Window->Relay().RunFlag, 0);
        QVERIFY(Ui().ModeServer->isChecked());
        QVERIFY(!Ui().ModeClient->isChecked());
        QCOMPARE(Ui().Start->text(), QStringLiteral("START"));
        QVERIFY(!Ui().Start->isChecked());
        QCOMPARE(Ui().Status->text(), QStringLiteral("Server mode selected"));
        QCOMPARE(Ui().Clock->text(), QStringLiteral("- -:- -:- -"));
        QCOMPARE(Ui().ListenPort->text(), QStringLiteral("6530"));
        QCOMPARE(Ui().ServerPort->text(), QStringLiteral("6530"));
        QCOMPARE(QApplication::focusWidget(), Ui().Start);
        // Shown as after a Tab: styles draw the focus frame only once the window says so.
        QVERIFY(Window->testAttribute(Qt::WA_KeyboardFocusChange));
        QCOMPARE(EnabledControls(Ui()), ServerControls);
        QVERIFY(!Ui().Ok->isVisible());
        QVERIFY(Boxes.Boxes.isEmpty());
    }

    // Qt's -qwindowgeometry and -qwindowtitle, as the demo's two windows take them to stand side by side.
    void aPlaceAskedIsKept()
    {
        QCOMPARE(GeometryPosition(QStringLiteral("+600+80")), QPoint(600, 80));
        QCOMPARE(GeometryPosition(QStringLiteral("516x322+40+80")), QPoint(40, 80));
        QCOMPARE(GeometryPosition(QStringLiteral("516x322")), std::nullopt);
        QCOMPARE(GeometryPosition(QStringLiteral("-0+0")), std::nullopt);
        CRelayDlg placed;
        placed.SetPrompter(Boxes.Prompter());
        placed.Place(QPoint(600, 80), QStringLiteral("Horaline - client"));
        placed.Create();
        QVERIFY(QTest::qWaitForWindowExposed(&placed));
        QCOMPARE(placed.pos(), QPoint(600, 80));
        QCOMPARE(placed.windowTitle(), QStringLiteral("Horaline - client"));
        QVERIFY(Window->pos() != QPoint(600, 80));
        QCOMPARE(Window->windowTitle(), QStringLiteral("Horaline"));
    }

    void listsHoldTheirEntries()
    {
        const QStringList speeds {"<Speed>", "300", "1200", "2400", "4800", "9600", "19200", "38400"};
        QCOMPARE(Items(Ui().InComSpeed), speeds);
        QCOMPARE(Items(Ui().OutComSpeed), speeds);
        // Whatever ports this machine has, the placeholder comes first and is what a first launch selects.
        QCOMPARE(Items(Ui().InComName).value(0), QStringLiteral("<Port>"));
        QCOMPARE(Items(Ui().OutComName), Items(Ui().InComName));
        QCOMPARE(Ui().InComName->currentText(), QStringLiteral("<Port>"));
    }

    void layoutFollowsDialogUnits()
    {
        QCOMPARE(Window->size(), DialogToPixels(RelayWindowUnits, MeasureDialogFont(Window->font())));
        QCOMPARE(Window->minimumSize(), Window->maximumSize());
        QCOMPARE(Ui().Exit->geometry(), Pixels(*Window, {254, 11, 32, 14}));
        QCOMPARE(Ui().Start->geometry(), Pixels(*Window, {167, 11, 45, 25}));
        QCOMPARE(Ui().Status->geometry(), Pixels(*Window, {14, 170, 265, 15}));
        QCOMPARE(Ui().Clock->geometry(), Pixels(*Window, {226, 64, 55, 17}));
        QCOMPARE(Ui().LocalAddrs->geometry(), Pixels(*Window, {208, 120, 72, 31}));
        // A drop-down list keeps its place and width but not the height of its opened list.
        const QRect list = Pixels(*Window, {40, 61, 48, 98});
        QCOMPARE(Ui().InComName->pos(), list.topLeft());
        QCOMPARE(Ui().InComName->width(), list.width());
        QVERIFY(Ui().InComName->height() < list.height());
        // Group boxes stay behind the controls they frame.
        for (QWidget* control : {static_cast<QWidget*>(Ui().Clock), static_cast<QWidget*>(Ui().Status),
                                 static_cast<QWidget*>(Ui().ModeClient), static_cast<QWidget*>(Ui().ListenPort)}) {
            QWidget* top = Window->childAt(control->geometry().center());
            QVERIFY2(top == control || top->parentWidget() == control, qPrintable(control->objectName()));
        }
    }

    void tabOrderIsCreationOrder()
    {
        QStringList order;
        QWidget* widget = Ui().Exit;
        do {
            if ((widget->focusPolicy() & Qt::TabFocus) && widget->isVisibleTo(Window.get())
                && widget->parentWidget() == Window.get())
                order.append(widget->objectName());
            widget = widget->nextInFocusChain();
        } while (widget != Ui().Exit);
        QCOMPARE(order,
                 QStringList({"IDCANCEL", "IDC_IN_COM_NAME", "IDC_ABOUT", "IDC_START", "IDC_IN_COM_SPEED",
                              "IDC_SERVER_NAME", "IDC_SERVER_PORT", "IDC_OUT_COM_NAME", "IDC_OUT_COM_SPEED",
                              "IDC_LISTEN_PORT", "IDC_LOCAL_ADDRS"}));
    }

    void coloursAndFonts()
    {
        QCOMPARE(Ui().Clock->palette().color(QPalette::Window), QColor(255, 200, 230));
        QCOMPARE(Ui().Status->palette().color(QPalette::Window), QColor(100, 255, 100));
        QVERIFY(Ui().Clock->autoFillBackground() && Ui().Status->autoFillBackground());
        // The local name stays yellow with black text while disabled in client mode.
        Ui().ModeClient->click();
        QVERIFY(!Ui().LocalName->isEnabled());
        const QPalette local = Ui().LocalName->palette();
        QCOMPARE(local.color(QPalette::Disabled, QPalette::Window), QColor(255, 255, 100));
        QCOMPARE(local.color(QPalette::Disabled, QPalette::WindowText), QColor(Qt::black));

        const QFont clock = Ui().Clock->font();
        // The same heavy face in both, each as large as its own field allows: the time with a visible
        // margin on each side, the status with room for its descenders.
        QCOMPARE(QFontInfo(Ui().Status->font()).family(), QFontInfo(clock).family());
        QVERIFY(QFontMetrics(clock).horizontalAdvance(QStringLiteral("00:00:00"))
                <= Ui().Clock->contentsRect().width() * 5 / 6);
        QVERIFY(QFontMetrics(Ui().Status->font()).height() <= Ui().Status->contentsRect().height());
        QVERIFY(QFontMetrics(clock).height() <= Ui().Clock->height() - 5);
        QVERIFY(QFontMetrics(clock).height() >= (Ui().Clock->height() - 5) * 3 / 4);
        QVERIFY(QFontInfo(clock).family() == QLatin1String("Arial Black") || QFontInfo(clock).weight() >= QFont::Bold);
    }

    void tooltips()
    {
        const std::pair<QWidget*, const char*> expected[]
            = {{Ui().Start, "Activate IO link"},
               {Ui().ModeServer, "Select Server modality"},
               {Ui().ModeClient, "Select Client modality"},
               {Ui().InComName, "RS232 name for the Input signal"},
               {Ui().InComSpeed, "RS232 speed for the Input signal"},
               {Ui().ServerName, "Name of the Server to connect"},
               {Ui().ServerPort, "Server port"},
               {Ui().OutComName, "RS232 name for the Output"},
               {Ui().OutComSpeed, "RS232 speed for the Output"},
               {Ui().Status, "Status messages"},
               {Ui().Clock, "Clock value received"},
               {Ui().About, "Show the About dialog"},
               {Ui().Exit, "Close the program"},
               {Ui().LocalAddrs, "In Server mode use one of these for Clocks"}};
        for (const auto& [control, tip] : expected)
            QCOMPARE(control->toolTip(), QLatin1String(tip));
        QVERIFY(Ui().ListenPort->toolTip().isEmpty());
        QVERIFY(Ui().LocalName->toolTip().isEmpty());
    }

    void modeButtonsSwitchControlsButNotTheMode()
    {
        Ui().ModeClient->click();
        QCOMPARE(Ui().Status->text(), QStringLiteral("Client mode selected"));
        QCOMPARE(EnabledControls(Ui()), ClientControls);
        QCOMPARE(Window->RelayMode, 1);
        QVERIFY(Ui().ModeClient->isChecked() && !Ui().ModeServer->isChecked());

        Ui().ModeServer->click();
        QCOMPARE(Ui().Status->text(), QStringLiteral("Server mode selected"));
        QCOMPARE(EnabledControls(Ui()), ServerControls);
        Ui().ModeClient->click();
        QVERIFY(Window->DoDataExchange(true));
        QCOMPARE(Window->RelayMode, 0);
    }

    void modeOutsideBothButtonsLeavesThemUnchecked()
    {
        Window->RelayMode = 7;
        Window->DoDataExchange(false);
        QVERIFY(!Ui().ModeClient->isChecked() && !Ui().ModeServer->isChecked());
        QVERIFY(Window->DoDataExchange(true));
        QCOMPARE(Window->RelayMode, -1);
        // The pair is still exclusive afterwards.
        Ui().ModeServer->click();
        Ui().ModeClient->click();
        QVERIFY(Ui().ModeClient->isChecked() && !Ui().ModeServer->isChecked());
    }

    void lockWhileRunning()
    {
        Window->LockConfiguration(1);
        QCOMPARE(EnabledControls(Ui()), QStringList({"local addrs", "start", "about", "exit"}));
        Window->LockConfiguration(0);
        QCOMPARE(EnabledControls(Ui()), ServerControls);

        Ui().ModeClient->click();
        Window->RelayMode = 0;
        Window->LockConfiguration(1);
        QCOMPARE(EnabledControls(Ui()), QStringList({"start", "about", "exit"}));
        Window->LockConfiguration(0);
        QCOMPARE(EnabledControls(Ui()), ClientControls);
    }

    void serverStartWithoutAPortFailsAndStaysConfigurable()
    {
        Ui().ListenPort->setText(QString::number(FreePort()));
        QTest::mouseClick(Ui().Start, Qt::LeftButton);
        QCOMPARE(Boxes.Boxes.size(), 1);
        QCOMPARE(Boxes.Boxes[0].text, QStringLiteral("Select a valid Port in Settings!"));
        QCOMPARE(Boxes.Boxes[0].title, QStringLiteral("Please ..."));
        QCOMPARE(Boxes.Boxes[0].type, unsigned(MB_ICONINFORMATION));
        QCOMPARE(Window->Relay().RunFlag, 0);
        QVERIFY(!Ui().Start->isChecked());
        QCOMPARE(Ui().Start->text(), QStringLiteral("START"));
        QCOMPARE(EnabledControls(Ui()), ServerControls);
        QCOMPARE(Window->Relay().SerialHandle(), -1);
        QCOMPARE(Window->InComName, QStringLiteral("<Port>"));
        QCOMPARE(Window->InComSpeed, QStringLiteral("<Speed>"));
    }

    void clientStartWithPlaceholderAsksForOutput()
    {
        Ui().ModeClient->click();
        QTest::mouseClick(Ui().Start, Qt::LeftButton);
        QCOMPARE(Window->RelayMode, 0);
        QCOMPARE(Boxes.Texts(), QStringList {"Select Output!"});
        QCOMPARE(Boxes.Boxes[0].title, QStringLiteral("Please:"));
        QCOMPARE(Boxes.Boxes[0].type, unsigned(MB_ICONEXCLAMATION));
        QCOMPARE(Ui().Status->text(), QStringLiteral("Client mode selected"));
        QVERIFY(!Ui().Start->isChecked());
        QCOMPARE(EnabledControls(Ui()), ClientControls);
        QCOMPARE(Window->Relay().ConnectTimerId(), 0);
    }

    void startWithAnInvalidPortEntryDoesNotStart_data()
    {
        QTest::addColumn<QString>("listenPort");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty") << ""
                               << "Digitare un numero intero.";
        QTest::newRow("70000") << "70000"
                               << "Digitare un numero intero compreso tra 0 e 60000.";
    }

    void startWithAnInvalidPortEntryDoesNotStart()
    {
        QFETCH(QString, listenPort);
        QFETCH(QString, message);
        Ui().ListenPort->setText(listenPort);
        QTest::mouseClick(Ui().Start, Qt::LeftButton);
        QCOMPARE(Boxes.Texts(), QStringList {message});
        QCOMPARE(Boxes.Boxes[0].title, QStringLiteral("Horaline"));
        QCOMPARE(Boxes.Boxes[0].type, unsigned(MB_ICONEXCLAMATION));
        QVERIFY(!Ui().Start->isChecked());
        QCOMPARE(Window->Relay().RunFlag, 0);
        QCOMPARE(EnabledControls(Ui()), ServerControls);
        QCOMPARE(QApplication::focusWidget(), Ui().ListenPort);
        QCOMPARE(Ui().ListenPort->selectedText(), listenPort);
        QCOMPARE(Window->ServerPort, 6530);
    }

    void typedClientPortIsUsedButServerPortComesFromListenPort()
    {
        Ui().ModeClient->click();
        Ui().ServerPort->setText(QStringLiteral("7000"));
        Ui().ListenPort->setText(QStringLiteral("6600"));
        QTest::mouseClick(Ui().Start, Qt::LeftButton);
        QCOMPARE(Window->ClientPort, 7000);
        QCOMPARE(Window->ListenPort, 6600);
        QCOMPARE(Window->ServerPort, 6600);
    }

    void exitConfirmation_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("listenPort");
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<bool>("closed");
        const QString question = "Do you really want to exit ?";
        QTest::newRow("no") << int(IDNO) << "6530" << QStringList {question} << false;
        QTest::newRow("yes") << int(IDYES) << "6530" << QStringList {question} << true;
        QTest::newRow("yes with an empty port")
            << int(IDYES) << "" << QStringList {question, "Digitare un numero intero."} << false;
        QTest::newRow("yes with 70000") << int(IDYES) << "70000"
                                        << QStringList {question, "Digitare un numero intero compreso tra 0 e 60000."}
                                        << false;
    }

    void exitConfirmation()
    {
        QFETCH(int, answer);
        QFETCH(QString, listenPort);
        QFETCH(QStringList, boxes);
        QFETCH(bool, closed);
        Ui().ListenPort->setText(listenPort);
        QSignalSpy finished(Window.get(), &QDialog::finished);
        Boxes.Answers = {answer};
        Ui().Exit->click();
        QCOMPARE(Boxes.Texts(), boxes);
        QCOMPARE(Boxes.Boxes[0].title, QStringLiteral("Exiting ..."));
        QCOMPARE(Boxes.Boxes[0].type, unsigned(Confirmation));
        QCOMPARE(Window->isVisible(), !closed);
        QCOMPARE(finished.count(), closed ? 1 : 0);
        if (closed)
            QCOMPARE(Window->result(), int(QDialog::Accepted));
    }

    void everyWayOutAsksFirst()
    {
        QTest::keyClick(Window.get(), Qt::Key_Escape);
        Window->close();
        QCOMPARE(Boxes.Texts(), QStringList({"Do you really want to exit ?", "Do you really want to exit ?"}));
        QVERIFY(Window->isVisible());
    }

    void enterNeverEndsTheWindow()
    {
        QSignalSpy finished(Window.get(), &QDialog::finished);
        Ui().Start->setFocus();
        QTest::keyClick(Ui().Start, Qt::Key_Return);
        QVERIFY(!Ui().Start->isChecked());
        for (QWidget* field : {static_cast<QWidget*>(Ui().ListenPort), static_cast<QWidget*>(Ui().InComSpeed)}) {
            field->setFocus();
            QTest::keyClick(field, Qt::Key_Enter);
        }
        QVERIFY(Boxes.Boxes.isEmpty());
        QCOMPARE(finished.count(), 0);

        Ui().Exit->setFocus();
        QTest::keyClick(Ui().Exit, Qt::Key_Return);
        QCOMPARE(Boxes.Texts(), QStringList {"Do you really want to exit ?"});
        QVERIFY(Window->isVisible());
    }

    void enterOnAboutOpensTheAboutBox()
    {
        QRect okGeometry;
        QString seen;
        CloseAboutBoxWhenOpen(&okGeometry, &seen);
        Ui().About->setFocus();
        QTest::keyClick(Ui().About, Qt::Key_Return);
        CAboutBox reference(Window.get());
        const DialogBaseUnits base = MeasureDialogFont(reference.font());
        // The box is laid out 119 units tall and opens 46 pixels shorter, its OK button raised with it.
        QCOMPARE(seen, QStringLiteral("About Horaline|%1").arg(DialogToPixels(QSize(138, 119), base).height() - 46));
        QCOMPARE(okGeometry, DialogToPixels(QRect(7, 98, 124, 14), base).translated(0, -46));
        QVERIFY(Window->isVisible());
        QVERIFY(Boxes.Boxes.isEmpty());
    }

    void aboutBoxShowsNameAndVersion()
    {
        CAboutBox box(Window.get());
        QCOMPARE(box.findChild<QLabel*>("ProductName")->text(), QStringLiteral("Horaline"));
        QCOMPARE(box.findChild<QLabel*>("Version")->text(), QStringLiteral("v 1.008"));
        box.PlaceOver(Window.get());
        QVERIFY((box.frameGeometry().center() - Window->frameGeometry().center()).manhattanLength() <= 2);
    }

    void serverNameIsTypedInCapitals()
    {
        Ui().ModeClient->click();
        Ui().ServerName->clear();
        Ui().ServerName->setFocus();
        QTest::keyClicks(Ui().ServerName, "clock-1.local");
        QCOMPARE(Ui().ServerName->text(), QStringLiteral("CLOCK-1.LOCAL"));
        Ui().ServerPort->clear();
        QTest::keyClicks(Ui().ServerPort, "6a5-3");
        QCOMPARE(Ui().ServerPort->text(), QStringLiteral("653"));
    }

    void theTypedServerPortIsUsedButNotStored()
    {
        QDir(QFileInfo(SettingsPath()).absolutePath()).removeRecursively();
        WindowUnderTest relay(0, 201, FreePort());
        const quint16 typed = FreePort();
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost, typed));
        relay.Ui().ServerPort->setText(QString::number(typed));
        relay.Start();
        QTRY_VERIFY_WITH_TIMEOUT(server.hasPendingConnections(), 10000);
        QCOMPARE(SettingsFile().ReadInt(QStringLiteral("ServerPort"), 0), int(relay.Port));
    }

    // A client on this computer's clock asks no server: the server's fields say they are not used.
    void theClockAsSourceLeavesTheServerUnused()
    {
        SettingsFile(QStringLiteral("Source")).Write(QStringLiteral("Primary"), QStringLiteral("clock"));
        WindowUnderTest relay(0, 231, FreePort(), 1);
        QCOMPARE(relay.Ui().Start->text(), QStringLiteral("STOP"));
        for (const QWidget* unused : {relay.Ui().ServerName, relay.Ui().ServerPort})
            QVERIFY2(unused->toolTip().startsWith(QLatin1String("Not used: this computer's clock is the source")),
                     qPrintable(unused->toolTip()));
        QCOMPARE(relay.Ui().OutComName->toolTip(), QStringLiteral("RS232 name for the Output"));
    }

    void aLineAwayAtLaunchStaysChosen()
    {
        QDir(QFileInfo(SettingsPath()).absolutePath()).removeRecursively();
        QTemporaryDir folder;
        WindowUnderTest relay(1, 230, FreePort(), 1, folder.filePath(QStringLiteral("usb-Clock_Adapter")));
        // Absent, the saved port is still the one chosen, and the relay counts as running.
        QCOMPARE(relay.Ui().InComName->currentText(), QStringLiteral("COM230"));
        QCOMPARE(relay.Ui().Status->text(), QStringLiteral("COM230 doesn't exist !"));
        QCOMPARE(relay.Ui().Start->text(), QStringLiteral("STOP"));
        QVERIFY(relay.Boxes.Boxes.isEmpty());
    }
};

HORALINE_TEST_MAIN(TestRelayWindow)
#include "tst_relaywindow.moc"
