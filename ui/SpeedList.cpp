#include "ui/SpeedList.h"

#include "serial/SerialDevice.h"

QStringList SpeedListItems()
{
    return QStringList {QStringLiteral("<Speed>")} + SpeedNames();
}
