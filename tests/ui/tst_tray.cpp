#include "settings/SettingsPath.h"
#include "support/BoxRecorder.h"
#include "support/TestMain.h"
#include "ui/CRelayDlg.h"

#include <QMenu>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTimer>
#include <memory>

namespace {

constexpr unsigned WM_LBUTTONDOWN = 0x0201;
constexpr unsigned WM_LBUTTONUP = 0x0202;
constexpr unsigned WM_RBUTTONUP = 0x0205;
constexpr unsigned WM_RBUTTONDBLCLK = 0x0206;
constexpr unsigned WM_MOUSEMOVE = 0x0200;

// Closes whichever popup or modal window opens next, recording its name; gives up after a bounded wait.
void CloseNextPopup(QString* seen, int tries = 100)
{
    QTimer::singleShot(20, [=] {
        QWidget* popup = QApplication::activePopupWidget();
        if (popup == nullptr)
            popup = QApplication::activeModalWidget();
        if (popup == nullptr) {
            if (tries > 0)
                CloseNextPopup(seen, tries - 1);
            return;
        }
        *seen = popup->objectName();
        popup->close();
    });
}

} // namespace

class TestTray : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<CRelayDlg> Window;
    BoxRecorder Boxes;
    bool TrayHost = true;

private slots:
    void init()
    {
        QFile::remove(SettingsPath());
        Boxes = BoxRecorder();
        TrayHost = true;
        Window = std::make_unique<CRelayDlg>();
        Window->SetPrompter(Boxes.Prompter());
        // No notification area runs here: the test plays the desktop that has one.
        Window->Tray.SetAvailability([this] { return TrayHost; });
        Window->Create();
        QVERIFY(QTest::qWaitForWindowExposed(Window.get()));
    }

    void cleanup() { Window.reset(); }

    void iconAndMenu()
    {
        auto* tray = Window->findChild<QSystemTrayIcon*>();
        QVERIFY(tray != nullptr);
        QVERIFY(tray->isVisible());
        QCOMPARE(tray->toolTip(), QStringLiteral("Horaline v1.0"));
        QVERIFY(!tray->icon().isNull());
        QMenu* menu = Window->Tray.Menu();
        QCOMPARE(menu->title(), QStringLiteral("Context"));
        const QList<QAction*> items = menu->actions();
        QCOMPARE(items.size(), 3);
        QCOMPARE(items[0]->text(), QStringLiteral("About ..."));
        QVERIFY(items[1]->isSeparator());
        QCOMPARE(items[2]->text(), QStringLiteral("Exit"));
    }

    void menuExitAsksLikeTheExitButton()
    {
        Window->Tray.Menu()->actions()[2]->trigger();
        QCOMPARE(Boxes.Texts(), QStringList {"Do you really want to exit ?"});
        QVERIFY(Window->isVisible());
    }

    void menuAboutOpensTheAboutBoxWhileHidden()
    {
        Window->hide();
        QString seen;
        CloseNextPopup(&seen);
        Window->Tray.Menu()->actions()[0]->trigger();
        QCOMPARE(seen, QStringLiteral("IDD_ABOUTBOX"));
        QVERIFY(!Window->isVisible());
    }

    void doubleClickHidesAndRestores()
    {
        Window->OnTrayNotify(TrayIconId, WM_LBUTTONDBLCLK);
        QTRY_VERIFY(!Window->isVisible());
        Window->OnTrayNotify(TrayIconId, WM_LBUTTONDBLCLK);
        QVERIFY(Window->isVisible());
        QVERIFY(!Window->isMinimized());
        Window->OnTrayNotify(TrayIconId, WM_LBUTTONDBLCLK);
        QTRY_VERIFY(!Window->isVisible());
    }

    void minimisingHidesOnlyWhereTheIconIsShown()
    {
        Window->showMinimized();
        QTRY_VERIFY(!Window->isVisible());
        Window->OnTrayNotify(TrayIconId, WM_LBUTTONDBLCLK);
        QVERIFY(Window->isVisible());

        TrayHost = false;
        Window->showMinimized();
        QTest::qWait(50);
        QVERIFY(Window->isVisible());
        QVERIFY(Window->isMinimized());
        // A notification area that appears later restores the window from its icon.
        TrayHost = true;
        Window->OnTrayNotify(TrayIconId, WM_LBUTTONDBLCLK);
        QTRY_VERIFY(!Window->isMinimized());
        QVERIFY(Window->isVisible());
    }

    void otherMessagesAndIconsAreIgnored()
    {
        for (unsigned message : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONUP, WM_RBUTTONDBLCLK, WM_MOUSEMOVE})
            Window->OnTrayNotify(TrayIconId, message);
        Window->OnTrayNotify(2, WM_LBUTTONDBLCLK);
        Window->OnTrayNotify(0, WM_RBUTTONDOWN);
        QTest::qWait(50);
        QVERIFY(Window->isVisible());
        QVERIFY(!Window->isMinimized());
        QCOMPARE(QApplication::activePopupWidget(), nullptr);
        QVERIFY(Boxes.Boxes.isEmpty());
    }

    void rightButtonOpensTheMenuAtTheCursor()
    {
        QCursor::setPos(120, 90);
        QString seen;
        QPoint at;
        QTimer::singleShot(20, [&] {
            if (QApplication::activePopupWidget() != nullptr)
                at = QApplication::activePopupWidget()->pos();
        });
        CloseNextPopup(&seen);
        Window->OnTrayNotify(TrayIconId, WM_RBUTTONDOWN);
        QCOMPARE(seen, QStringLiteral("IDR_TRAYMENU"));
        QCOMPARE(at, QCursor::pos());
        QVERIFY(Boxes.Boxes.isEmpty());
    }

    void iconGoesWithTheWindow()
    {
        auto* tray = Window->findChild<QSystemTrayIcon*>();
        Window->EndSession();
        QVERIFY(!tray->isVisible());
    }
};

HORALINE_TEST_MAIN(TestTray)
#include "tst_tray.moc"
