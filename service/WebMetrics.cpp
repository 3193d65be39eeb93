#include "service/WebMetrics.h"

#include <iterator>

namespace {

struct Metric
{
    const char* name;
    const char* type;
    const char* help;
};

void Add(QByteArray& text, const Metric& metric, const QList<QPair<QByteArray, double>>& samples)
{
    text += QByteArray("# HELP ") + metric.name + ' ' + metric.help + '\n';
    text += QByteArray("# TYPE ") + metric.name + ' ' + metric.type + '\n';
    for (const auto& [labels, value] : samples)
        text += metric.name + labels + ' ' + QByteArray::number(value, 'g', 15) + '\n';
}

void Add(QByteArray& text, const Metric& metric, double value)
{
    Add(text, metric, {{QByteArray(), value}});
}

// Label values are ours (a version, a mode, a source's role), yet escaped as the format asks.
QByteArray Label(const QString& value)
{
    QByteArray escaped = value.toUtf8();
    escaped.replace('\\', "\\\\").replace('"', "\\\"").replace('\n', "\\n");
    return '"' + escaped + '"';
}

} // namespace

QByteArray MetricsText(const RelayReport& report)
{
    const Source inUse = report.Standby ? report.Standby->InUse : Source::Primary;

    QByteArray text;
    Add(text, {"horaline_build_info", "gauge", "The version and mode of the running relay."},
        {{"{version=" + Label(report.Version) + ",mode=" + Label(ModeName(report.Server)) + '}', 1}});
    Add(text, {"horaline_health", "gauge", "0 relaying, 1 degraded, 2 not relaying, as --status exits."},
        int(report.Health));
    Add(text, {"horaline_clients", "gauge", "Clients connected to the server."}, double(report.Clients.size()));
    if (const std::optional<ScreensReport>& screens = report.Screens) {
        Add(text, {"horaline_displays", "gauge", "Screens following the clock at /display."}, double(screens->Open));
        Add(text, {"horaline_displays_refused_total", "counter", "Screens turned away for want of a place."},
            double(screens->Refused));
    }
    if (report.LastValue)
        Add(text, {"horaline_last_value_age_seconds", "gauge", "How long ago the last value was relayed."},
            report.LastValue->AgeS);
    QList<QPair<QByteArray, double>> sources;
    for (const Source source : {Source::Primary, Source::Standby, Source::OwnClock})
        sources.append({"{source=" + Label(RoleName(source)) + '}', inUse == source ? 1 : 0});
    Add(text, {"horaline_source_in_use", "gauge", "1 for the source whose values are relayed."}, sources);
    // In the order of the counters.
    static const Metric counted[] = {
        {"horaline_values_relayed_total", "counter", "Values relayed."},
        {"horaline_values_not_a_time_total", "counter", "Values relayed that are no time of day."},
        {"horaline_line_losses_total", "counter", "Serial lines lost."},
        {"horaline_server_losses_total", "counter", "Servers lost."},
        {"horaline_source_switches_total", "counter",
         "Switches between the primary, the standby and this computer's clock."},
        {"horaline_clients_admitted_total", "counter", "Clients admitted."},
        {"horaline_clients_refused_total", "counter", "Clients refused."},
        {"horaline_reloads_refused_total", "counter", "Reloads refused for settings that cannot run."},
    };
    static_assert(std::size(counted) == CounterCount, "one metric for each counter");
    for (size_t i = 0; i < CounterCount; ++i)
        Add(text, counted[i], double(report.Counts[i]));
    Add(text, {"horaline_faults_total", "counter", "Faults met since the relay started."}, report.Faults);
    if (const std::optional<FeedReport>& feed = report.Feed) {
        Add(text, {"horaline_ntp_samples_total", "counter", "Samples sent to chrony's reference clock."},
            double(feed->Sent));
        QList<QPair<QByteArray, double>> withheld;
        for (size_t i = 0; i < WithheldCount; ++i)
            withheld.append({"{reason=" + Label(WithheldName(Withheld(i))) + '}', double(feed->Withheld[i])});
        Add(text, {"horaline_ntp_samples_withheld_total", "counter", "Time codes that gave chrony no sample, by why."},
            withheld);
        if (feed->LastOffsetS)
            Add(text,
                {"horaline_ntp_last_offset_seconds", "gauge",
                 "The time code's offset from this computer's clock in the last sample sent."},
                *feed->LastOffsetS);
    }
    if (report.Clock) {
        Add(text,
            {"horaline_clock_synchronised", "gauge",
             "1 while the kernel counts this computer's clock, which a source sends, as synchronised."},
            report.Clock->Synchronised ? 1 : 0);
        Add(text, {"horaline_clock_max_error_seconds", "gauge", "The kernel's maximum error of this computer's clock."},
            report.Clock->MaxErrorS);
    }
    return text;
}
