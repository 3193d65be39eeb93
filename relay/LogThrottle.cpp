#include "relay/LogThrottle.h"

#include <QLoggingCategory>

bool LogThrottle::Admit(const QLoggingCategory& category, const QString& kind, const QString& source, qint64 nowMs)
{
    auto window = Kinds.find(kind);
    // A minute that held lines back goes on counting until its summary is taken.
    if (window == Kinds.end() || (nowMs - window->startMs >= WindowMs && window->held == 0))
        window = Kinds.insert(kind, Window {&category, nowMs, 0, 0, QString(), false});
    if (window->written < Burst) {
        ++window->written;
        return true;
    }
    if (window->held++ == 0)
        window->source = source;
    else if (source != window->source)
        window->severalSources = true;
    return false;
}

QList<LogThrottle::Summary> LogThrottle::TakeSummaries(qint64 nowMs)
{
    QList<Summary> summaries;
    for (auto window = Kinds.begin(); window != Kinds.end();) {
        if (nowMs - window->startMs < WindowMs) {
            ++window;
            continue;
        }
        if (window->held > 0) {
            QString from;
            if (window->severalSources)
                from = QStringLiteral(" from several addresses");
            else if (!window->source.isEmpty())
                from = QStringLiteral(" from ") + window->source;
            summaries.append({window->category,
                              QStringLiteral("%1 %2%3 in the last minute").arg(window->held).arg(window.key(), from)});
        }
        window = Kinds.erase(window);
    }
    return summaries;
}

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
