#include "relay/SettingsLists.h"

#include "net/NetLog.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsLog.h"

ComDeviceMap LoadComDeviceMap()
{
    ComDeviceMap devices;
    const SettingsFile file(QStringLiteral("Ports"));
    for (const QString& name : file.Names()) {
        const std::optional<int> number = ParseComName(name);
        const QString device = file.ReadString(name, QString());
        if (number && !device.isEmpty())
            devices.insert(*number, device);
    }
    return devices;
}

QString ComDeviceNow(const QString& name)
{
    const std::optional<int> number = ParseComName(name);
    return number ? ComDevice(*number, LoadComDeviceMap()) : QString();
}

AllowList LoadAllowList()
{
    QStringList invalid;
    const AllowList list
        = AllowList::Parse(SettingsFile(QStringLiteral("Clients")).ReadList(QStringLiteral("Allow")), &invalid);
    for (const QString& entry : std::as_const(invalid))
        qCWarning(lcSettings).noquote() << "[Clients] Allow: not an address or range, left out:" << entry;
    if (!list.IsOpen())
        qCInfo(lcNet).noquote() << "clients admitted only from" << list.Text();
    return list;
}
