#include "relay/RelayLog.h"
#include "ui/AboutBox.h"
#include "ui/CRelayDlg.h"
#include "ui/RelayTemplate.h"

#include <QCloseEvent>
#include <QCursor>
#include <QEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>

CRelayDlg::CRelayDlg(QWidget* parent)
    : QDialog(parent,
              Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                  | Qt::WindowCloseButtonHint)
    , Controller(this)
    , Prompter(ShowModalMessageBox)
{
    setWindowTitle(QStringLiteral("Horaline"));
    setFont(DialogFont());
    const DialogBaseUnits base = MeasureDialogFont(font());
    Ui = BuildRelayTemplate(this, base);
    setFixedSize(DialogToPixels(RelayWindowUnits, base));

    Clock = std::make_unique<ClockField>(Ui.Clock);

    connect(&Controller, &RelayController::StatusChanged, Ui.Status, &QLabel::setText);
    // The status line's texts are the relay's own; what stays wrong meanwhile is told where the pointer rests.
    connect(&Controller, &RelayController::HeadlineChanged, this, [this] {
        Ui.Status->setToolTip(
            (QStringList(QStringLiteral("Status messages")) + Controller.StandingNow().Faults).join('\n'));
    });
    // Each value shown refreshes the window's mode from its buttons, its own affair: the relay runs on the
    // mode it started with.
    connect(&Controller, &RelayController::ClockChanged, this, [this](const QString& text) {
        RelayMode = ReadModeButtons(Ui);
        Clock->SetClock(text);
    });

    connect(Ui.Exit, &QPushButton::clicked, this, [this] { OnCommand(2); });
    connect(Ui.About, &QPushButton::clicked, this, [this] { OnCommand(3); });
    connect(Ui.Start, &QPushButton::clicked, this, &CRelayDlg::OnStartStop);
    connect(Ui.ModeClient, &QPushButton::clicked, this, &CRelayDlg::EnableClientModeControls);
    connect(Ui.ModeServer, &QPushButton::clicked, this, &CRelayDlg::EnableServerModeControls);
}

CRelayDlg::~CRelayDlg()
{
    // A window torn down without its modal run ending still stops what it started.
    if (Initialised && !Destroyed)
        OnDestroy();
}

void CRelayDlg::SetPrompter(MessageBoxPrompter prompter)
{
    Prompter = std::move(prompter);
}

int CRelayDlg::MessageBox(const QString& text, const QString& title, unsigned type)
{
    const int answer = Prompter(this, text, title, type);
    if ((type & 0xF) == MB_YESNO)
        qCInfo(lcRelay) << "box answered" << (answer == IDYES ? "Yes" : "No");
    return answer;
}

int CRelayDlg::ExchangeMode()
{
    return ReadModeButtons(Ui);
}

void CRelayDlg::Place(const std::optional<QPoint>& topLeft, const QString& title)
{
    if (topLeft) {
        move(*topLeft);
        CentredInFrame = true;
    }
    if (!title.isEmpty())
        setWindowTitle(title);
}

void CRelayDlg::Create()
{
    OnInitDialog();
    if (!CentredInFrame)
        CentreInWorkArea(this);
    show();
    // The focus shown from the start, as after a Tab: styles draw its frame only once the window says
    // so, and showing the window clears what was said before.
    setAttribute(Qt::WA_KeyboardFocusChange);
}

int CRelayDlg::DoModal()
{
    Create();
    // A session that ended while a box of the start-up was open never gets to run.
    if (Controller.Ending) {
        done(QDialog::Rejected);
        return QDialog::Rejected;
    }
    // Not QDialog::exec: that loop ends when the window is hidden, and hiding in the notification area
    // must leave the relay running.
    QEventLoop loop;
    connect(this, &QDialog::finished, &loop, &QEventLoop::quit);
    loop.exec();
    return result();
}

void CRelayDlg::OnCommand(int id)
{
    if (id == ID_CANCEL)
        OnExitCommand();
    else if (id == IDC_ABOUT)
        ShowAboutBox();
}

void CRelayDlg::EndSession()
{
    Controller.Ending = true;
    done(QDialog::Rejected);
}

void CRelayDlg::done(int result)
{
    QDialog::done(result);
    if (Initialised && !Destroyed)
        OnDestroy();
}

void CRelayDlg::SetStatus(const QString& text)
{
    Controller.SetStatus(text);
}

void CRelayDlg::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        OnExitCommand();
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Enter must never end the window: the operator leaves it running for months. It clicks only
        // the button that has the focus, and of those only About and Exit.
        for (QPushButton* button : {Ui.About, Ui.Exit}) {
            if (button->hasFocus())
                button->click();
        }
        break;
    default:
        QDialog::keyPressEvent(event);
        return;
    }
    event->accept();
}

void CRelayDlg::closeEvent(QCloseEvent* event)
{
    // The title-bar close box and Alt+F4 ask first, like Exit; a confirmed exit ends the run itself.
    event->ignore();
    OnExitCommand();
}

void CRelayDlg::OnExitCommand()
{
    const int answer = Controller.MessageBox(QStringLiteral("Do you really want to exit ?"),
                                             QStringLiteral("Exiting ..."), MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
    if (answer == IDYES)
        OnOK();
}

void CRelayDlg::OnOK()
{
    if (DoDataExchange(true))
        done(QDialog::Accepted);
}

void CRelayDlg::BringToFront()
{
    show();
    showNormal();
    raise();
    activateWindow();
}

void CRelayDlg::OnTrayNotify(unsigned id, unsigned mouseMessage)
{
    if (id != TrayIconId)
        return;
    if (mouseMessage == WM_LBUTTONDBLCLK) {
        // Minimised before a notification area existed, the window is still visible, only minimised.
        if (isVisible() && !isMinimized()) {
            showMinimized();
        } else {
            BringToFront();
        }
    } else if (mouseMessage == WM_RBUTTONDOWN) {
        const QPoint cursor = QCursor::pos();
        raise();
        activateWindow();
        Tray.Menu()->exec(cursor);
    }
}

void CRelayDlg::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || !isMinimized())
        return;
    // Hidden, the window is only reachable through the icon: without one it stays minimised.
    if (Tray.Shown())
        QMetaObject::invokeMethod(this, &QWidget::hide, Qt::QueuedConnection);
}

void CRelayDlg::OnDestroy()
{
    Destroyed = true;
    // The state at closing is what the next launch restores, so it is stored before the relay stops.
    SaveRunState();
    if (Controller.RunFlag != 0) {
        Ui.Start->setChecked(false);
        OnStartStop();
    }
    Tray.Remove();
    // A listener left open by a failed server start still owes its clients the shutdown notice.
    Controller.SetListening(false);
}

void CRelayDlg::ShowAboutBox()
{
    CAboutBox box(this);
    box.PlaceOver(this);
    box.exec();
}
