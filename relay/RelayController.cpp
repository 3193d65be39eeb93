#include "relay/RelayController.h"

#include "relay/Boxes.h"
#include "relay/RelayLog.h"
#include "relay/RelayView.h"

#include <QTimer>

RelayController::RelayController(RelayView* view, QObject* parent)
    : QObject(parent)
    , View(view)
    , Silence([this] { OnSilence(); })
{
    ListenSocket.SetOwner(this);
    ConnectSocket.SetOwner(this);
    StandbySocket.SetOwner(this);
    SourceCheck = new QTimer(this);
    connect(SourceCheck, &QTimer::timeout, this, &RelayController::CheckSources);
    SwitchCheck = new QTimer(this);
    SwitchCheck->setSingleShot(true);
    connect(SwitchCheck, &QTimer::timeout, this, &RelayController::CheckSources);
    OwnClockTick = new QTimer(this);
    OwnClockTick->setSingleShot(true);
    connect(OwnClockTick, &QTimer::timeout, this, &RelayController::SendOwnClock);
    LogClock.start();
    LogSummaries = new QTimer(this);
    LogSummaries->setInterval(10000);
    connect(LogSummaries, &QTimer::timeout, this, [this] {
        for (const LogThrottle::Summary& summary : Throttle.TakeSummaries(LogClock.elapsed()))
            qCWarning((*summary.category)).noquote() << summary.line;
        if (Throttle.Idle())
            LogSummaries->stop();
    });
}

RelayController::~RelayController()
{
    // Whatever its view did or did not stop: no reader outlives the port it reads.
    StopReader();
    CloseSerialPort();
    CloseStandbyLine();
}

int RelayController::MessageBox(const QString& text, const QString& title, unsigned type)
{
    // Told in the log as well: a box on a screen nobody watches leaves no trace of its own.
    qCWarning(lcRelay).noquote() << "box" << title << QString(text).replace(QLatin1Char('\n'), QLatin1Char(' '));
    // While the program ends nobody is asked anything more: a box now would hold the end for good.
    return Ending ? DefaultAnswer(type) : View->MessageBox(text, title, type);
}

void RelayController::RefreshRelayMode()
{
    RelayMode = View->ExchangeMode();
}

void RelayController::SetStatus(const QString& text)
{
    // Each text once as it changes: the same text set again, at every value, is no event.
    if (StatusText == text)
        return;
    StatusText = text;
    emit StatusChanged(text);
    if (LogAllows(lcRelay(), QStringLiteral("status changes to \"%1\"").arg(text.trimmed())))
        qCInfo(lcRelay).noquote() << "status:" << text.trimmed();
}

void RelayController::SetClock(const QString& text)
{
    emit ClockChanged(text);
}

bool RelayController::LogAllows(const QLoggingCategory& category, const QString& kind, const QString& source)
{
    // Running while anything is counted, so that a summary is told and the counts never pile up.
    if (!LogSummaries->isActive())
        LogSummaries->start();
    return Throttle.Admit(category, kind, source, LogClock.elapsed());
}
