#pragma once

#include "relay/RelayHealth.h"

#include <QString>

class QLoggingCategory;

// What the parts of a relay tell the controller that conducts them: the status line, a fault healed
// from, an event to count, a box, and whether the log may have a line of some kind now.
class RelayHost
{
public:
    virtual void SetStatus(const QString& text) = 0;
    virtual void RecordFault(const QString& text) = 0;
    virtual void Count(Counter which) = 0;
    virtual int MessageBox(const QString& text, const QString& title, unsigned type) = 0;
    virtual bool LogAllows(const QLoggingCategory& category, const QString& kind, const QString& source = QString())
        = 0;

protected:
    ~RelayHost() = default;
};
