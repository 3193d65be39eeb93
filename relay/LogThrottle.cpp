#include "relay/LogThrottle.h"

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
