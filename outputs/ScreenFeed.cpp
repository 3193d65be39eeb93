#include "outputs/ScreenFeed.h"

#include <QJsonDocument>
#include <QJsonObject>

ScreenFeed::ScreenFeed(ScreenSink& sink, std::function<QString()> health)
    : Sink(sink)
    , Health(std::move(health))
{
    Silence.setSingleShot(true);
    QObject::connect(&Silence, &QTimer::timeout, &Silence, [this] { Silent(); });
}

void ScreenFeed::Put(const OutputValue& value)
{
    const Sample& sample = value.Admitted;
    if (!value.Running) {
        if (!Time.isEmpty())
            Silent();
        return;
    }
    // A text that names no time (a server's word) shows nothing new; the silence will tell if it lasts.
    if (!sample.Second || (sample.WallAt == LastAt && sample.Text == LastText))
        return;
    LastAt = sample.WallAt;
    LastText = sample.Text;
    const int second = *sample.Second;
    Time = QStringLiteral("%1:%2:%3")
               .arg(second / 3600, 2, 10, QLatin1Char('0'))
               .arg(second / 60 % 60, 2, 10, QLatin1Char('0'))
               .arg(second % 60, 2, 10, QLatin1Char('0'));
    Source = RoleName(sample.Role);
    Silence.start(SilenceMs);
    if (Sink.AnyScreen())
        Sink.SendToScreens(Message(Time, Source));
}

QByteArray ScreenFeed::Current() const
{
    return Message(Time, Source);
}

QByteArray ScreenFeed::Message(const QString& time, const QString& source) const
{
    const QJsonObject message {{QStringLiteral("time"), time.isEmpty() ? QJsonValue() : QJsonValue(time)},
                               {QStringLiteral("source"), source.isEmpty() ? QJsonValue() : QJsonValue(source)},
                               {QStringLiteral("health"), Health()}};
    return QJsonDocument(message).toJson(QJsonDocument::Compact);
}

void ScreenFeed::Silent()
{
    Silence.stop();
    Time.clear();
    Source.clear();
    if (Sink.AnyScreen())
        Sink.SendToScreens(Message(QString(), QString()));
}
