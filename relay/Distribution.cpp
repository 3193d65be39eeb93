#include "relay/RelayController.h"
#include "relay/RelayLog.h"
#include "relay/RelayView.h"

#include <cerrno>

namespace {

// Relayed all the same, as displays always had them; a line at the wrong speed is the usual cause.
void CountRelayed(RelayHealth& health, const SourceChoice& choice, int mode, const QString& text)
{
    if (health.Relayed(text))
        return;
    qCWarning(lcRelay).noquote() << QStringLiteral("%1 sends values that are no time of day (e.g. %2): %3")
                                        .arg(choice.NameOf(choice.InUse()), text,
                                             mode == 1 ? QStringLiteral("check its speed")
                                                       : QStringLiteral("check the speed of its line"));
}

} // namespace

bool RelayController::SetListening(bool listen)
{
    // Only the mode is needed here; a box about a port entry would stop a shutdown.
    Config.RelayMode = View->ExchangeMode();
    Clients.SetListening(listen, Config.ServerPort, RestartAtLaunch);
    return true;
}

void RelayController::RelayValue(const QByteArray& value)
{
    if (Config.RelayMode == 1) {
        TimeCode code {};
        std::copy_n(value.constData(), std::min<qsizetype>(value.size(), qsizetype(code.size())), code.begin());
        StoreTimeCode(ClockBuffer, code);
        OnClockFrame();
        return;
    }
    StoreReceivedText(ClockBuffer, value);
    CountRelayed(Health, Choice, Config.RelayMode, QString::fromLatin1(value));
    // The display line before the views: a view can wait a moment, the clock on the wall cannot.
    DistributeClock();
    SetClock(ControlText(ClockBuffer.data(), ClockBuffer.size()));
}

void RelayController::OnClockFrame()
{
    ReplaceSpaces(ClockBuffer);
    const QByteArray text = FormatClockText(ClockBuffer);
    CountRelayed(Health, Choice, Config.RelayMode, QString::fromLatin1(text));
    // The clients before the views: a view can wait a moment, the clocks on the wall cannot.
    DistributeClock();
    SetClock(ControlText(text.constData(), size_t(text.size())));
}

void RelayController::DistributeClock()
{
    Config.RelayMode = View->ExchangeMode();
    // While a spare is in use the status line says so, whatever else each value would say.
    const QString spare = Choice.SpareInUse();
    if (Config.RelayMode == 0) {
        OutputFrame = FormatOutputFrame(ClockBuffer);
        if (RunFlag != 0 && !Display.Line.IsOpen()) {
            SetStatus(Display.Fault());
        } else if (RunFlag != 0) {
            const int error = Display.Write(OutputFrame);
            if (error == 0)
                SetStatus(spare.isEmpty() ? QStringLiteral("%1 is transmitting").arg(Config.OutComName) : spare);
            else if (error == ETIMEDOUT)
                SetStatus(QStringLiteral("Error %1 writing to %2 !").arg(error).arg(Config.OutComName));
        }
    }
    if (Config.RelayMode == 1) {
        Clients.BroadcastClock(FormatNetMessage(ClockBuffer), RunFlag == 0 || !spare.isEmpty());
        if (RunFlag != 0 && !spare.isEmpty())
            SetStatus(spare);
    }
}
