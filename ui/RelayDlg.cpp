#include "relay/RelayLog.h"
#include "ui/CRelayDlg.h"
#include "ui/DialogUnits.h"

#include <QEventLoop>
#include <QLabel>
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
    connect(&Controller, &RelayController::ClockChanged, this, [this](const QString& text) { Clock->SetClock(text); });

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
    AskedPlace = topLeft;
    if (!title.isEmpty())
        setWindowTitle(title);
}

void CRelayDlg::Create()
{
    OnInitDialog();
    if (AskedPlace)
        move(*AskedPlace);
    else
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
    if (Controller.IsEnding()) {
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
    Controller.SetEnding();
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
