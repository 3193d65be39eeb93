#include "sources/Sample.h"

#include "serial/ClockFormat.h"

QString RoleName(Source role)
{
    switch (role) {
    case Source::Primary:
        return QStringLiteral("primary");
    case Source::Standby:
        return QStringLiteral("standby");
    case Source::OwnClock:
        break;
    }
    return QStringLiteral("own clock");
}

Sample SampleOf(const QByteArray& text, SourceKind kind, qint64 atMs, std::chrono::system_clock::time_point wallAt,
                bool last, int trailing)
{
    return {text, SecondOfDay(text), atMs, wallAt, last, trailing, Source::Primary, kind};
}
