#include "relay/LogGate.h"

#include <QLoggingCategory>

LogGate::LogGate()
{
    Clock.start();
    Summaries.setInterval(10000);
    QObject::connect(&Summaries, &QTimer::timeout, &Summaries, [this] {
        for (const LogThrottle::Summary& summary : Throttle.TakeSummaries(Clock.elapsed()))
            qCWarning((*summary.category)).noquote() << summary.line;
        if (Throttle.Idle())
            Summaries.stop();
    });
}

bool LogGate::Allows(const QLoggingCategory& category, const QString& kind, const QString& source)
{
    // Running while anything is counted, so that a summary is told and the counts never pile up.
    if (!Summaries.isActive())
        Summaries.start();
    return Throttle.Admit(category, kind, source, Clock.elapsed());
}
