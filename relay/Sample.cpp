#include "relay/Sample.h"

#include "relay/ClockFormat.h"

Sample SampleOf(const QByteArray& text, SourceKind kind, qint64 atMs, std::chrono::system_clock::time_point wallAt,
                bool last)
{
    return {text, SecondOfDay(text), atMs, wallAt, last, Source::Primary, kind};
}
