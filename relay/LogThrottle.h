#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QString>
#include <QTimer>

class QLoggingCategory;

// Lets the first few lines of each kind of event through in a minute and counts the rest, so that a
// peer that connects in a loop, or a server that keeps saying goodbye, cannot fill the disk. What was
// held back is told in one line once its minute is over. Times are the caller's, in milliseconds.
class LogThrottle
{
public:
    static constexpr int Burst = 5;
    static constexpr qint64 WindowMs = 60000;

    struct Summary
    {
        const QLoggingCategory* category;
        QString line;
    };

    // Whether a line of this kind may be written now. The kind names the events as the summary counts
    // them ("connections refused"); the source, where there is one, is the peer's address.
    bool Admit(const QLoggingCategory& category, const QString& kind, const QString& source, qint64 nowMs);
    // One line for each kind whose minute has ended with lines held back, e.g. "412 connections
    // refused from 10.0.0.9 in the last minute"; those kinds start afresh.
    QList<Summary> TakeSummaries(qint64 nowMs);
    bool Idle() const { return Kinds.isEmpty(); }

private:
    struct Window
    {
        const QLoggingCategory* category;
        qint64 startMs;
        int written = 0;
        qint64 held = 0;
        QString source;
        bool severalSources = false;
    };
    QHash<QString, Window> Kinds;
};

// The relay's log throttle on the clock of the event loop: what it held back is summed up in a line
// once its minute is over, by a timer that runs only while something is counted.
class LogGate
{
public:
    LogGate();
    LogGate(const LogGate&) = delete;
    LogGate& operator=(const LogGate&) = delete;

    // Whether a line of this kind of event may go to the log now.
    bool Allows(const QLoggingCategory& category, const QString& kind, const QString& source);

private:
    LogThrottle Throttle;
    QElapsedTimer Clock;
    QTimer Summaries;
};
