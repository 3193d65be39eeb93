#pragma once

#include "relay/RelayReport.h"

#include <QList>
#include <QObject>
#include <QStringList>
#include <functional>

class QLocalServer;
class QLocalSocket;

// Answers the queries of `Horaline --status` and of a second Horaline started on the same settings, on
// a local socket only this user can reach: one request line ("status" or "raise"), one JSON line back.
// A query takes no client's place and leaves no line in the log.
class StatusService final : public QObject
{
public:
    using Report = std::function<RelayReport()>;
    // Brings the window to the front; false where there is none.
    using Raise = std::function<bool()>;

    StatusService(const QStringList& socketPaths, Report report, Raise raise, QObject* parent = nullptr);

    // Answers there from now on, and no longer where it did: the settings became another file.
    void Listen(const QStringList& socketPaths);

private:
    void Answer(QLocalSocket* asker);

    QList<QLocalServer*> Servers;
    Report MakeReport;
    Raise BringToFront;
};
