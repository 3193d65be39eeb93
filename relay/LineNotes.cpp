#include "relay/LineNotes.h"

#include "relay/RelayHost.h"
#include "relay/SerialLine.h"
#include "serial/PortMessages.h"
#include "serial/SerialLog.h"

void TellLineAway(RelayHost& host, const SerialLine& line, const QString& why, int error, bool first)
{
    host.SetStatus(why);
    host.RecordFault(why);
    const QString text = PortFaultLogText(why, line.DeviceNow(), error);
    if (first)
        qCWarning(lcSerial).noquote() << text << "- trying" << line.Name << "again every" << SerialLine::ReopenMs / 1000
                                      << "s";
    else
        qCWarning(lcSerial).noquote() << text;
}

void TellLineBack(const SerialLine& line)
{
    qCInfo(lcSerial).noquote() << line.Name << "is back, on" << line.Device;
}
