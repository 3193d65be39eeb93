#include "relay/CRelayDlg.h"
#include "relay/RelayLog.h"
#include "ui/DialogUnits.h"

#include <QEventLoop>
#include <QLabel>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTimer>

CRelayDlg::CRelayDlg(QWidget* parent)
    : QDialog(parent,
              Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                  | Qt::WindowCloseButtonHint)
    , Prompter(ShowModalMessageBox)
    , TrayAvailable(&QSystemTrayIcon::isSystemTrayAvailable)
    , Silence([this] { OnSilence(); })
{
    setWindowTitle(QStringLiteral("Horaline"));
    setFont(DialogFont());
    const DialogBaseUnits base = MeasureDialogFont(font());
    Ui = BuildRelayTemplate(this, base);
    setFixedSize(DialogToPixels(RelayWindowUnits, base));

    ClockRefresh = new QTimer(this);
    ClockRefresh->setSingleShot(true);
    ClockRefresh->setInterval(40);
    connect(ClockRefresh, &QTimer::timeout, this, [this] {
        if (Ui.Clock->text() != ClockText)
            SetClock(ClockText);
    });

    LogClock.start();
    LogSummaries = new QTimer(this);
    LogSummaries->setInterval(10000);
    connect(LogSummaries, &QTimer::timeout, this, [this] {
        for (const LogThrottle::Summary& summary : Throttle.TakeSummaries(LogClock.elapsed()))
            qCWarning((*summary.category)).noquote() << summary.line;
        if (Throttle.Idle())
            LogSummaries->stop();
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

void CRelayDlg::SetUnattended()
{
    Unattended = true;
    Prompter = AnswerUnattended;
    TrayAvailable = [] {
        return false;
    };
}

int CRelayDlg::MessageBox(const QString& text, const QString& title, unsigned type)
{
    // Told in the log as well: a box on a screen nobody watches leaves no trace of its own.
    qCWarning(lcRelay).noquote() << "box" << title << QString(text).replace(QLatin1Char('\n'), QLatin1Char(' '));
    // While the program ends nobody is asked anything more: a box now would hold the end for good.
    const int answer = Ending ? AnswerUnattended(this, text, title, type) : Prompter(this, text, title, type);
    if ((type & 0xF) == MB_YESNO)
        qCInfo(lcRelay) << "box answered" << (answer == IDYES ? "Yes" : "No");
    return answer;
}

void CRelayDlg::Create()
{
    OnInitDialog();
    CentreInWorkArea();
    show();
    // The focus shown from the start, as after a Tab: styles draw its frame only once the window says
    // so, and showing the window clears what was said before.
    setAttribute(Qt::WA_KeyboardFocusChange);
}

int CRelayDlg::DoModal()
{
    Create();
    // A session that ended while a box of the start-up was open never gets to run.
    if (Ending) {
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
    Ending = true;
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
    // Each text once as it changes: the same text set again, at every value, is no event.
    if (Ui.Status->text() == text)
        return;
    Ui.Status->setText(text);
    if (LogAllows(lcRelay(), QStringLiteral("status changes to \"%1\"").arg(text.trimmed())))
        qCInfo(lcRelay).noquote() << "status:" << text.trimmed();
}

bool CRelayDlg::LogAllows(const QLoggingCategory& category, const QString& kind, const QString& source)
{
    // Running while anything is counted, so that a summary is told and the counts never pile up.
    if (!LogSummaries->isActive())
        LogSummaries->start();
    return Throttle.Admit(category, kind, source, LogClock.elapsed());
}

void CRelayDlg::SetClock(const QString& text)
{
    // Painting the large field costs more than relaying a value; at rates no one can read, the
    // values in between are skipped on screen, never on the lines.
    ClockText = text;
    if (ClockRefresh->isActive())
        return;
    Ui.Clock->setText(text);
    ClockRefresh->start();
}
