#include "config/SettingsLists.h"

#include "config/SettingFaults.h"
#include "config/SettingKeys.h"
#include "net/NetLog.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsLog.h"

#include <QRegularExpression>

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
    return ComDeviceIn(name, LoadComDeviceMap());
}

namespace {

// The settings file ends a value at ';' but keeps a '#' and what follows: both are comments here. A
// list that is nothing but a comment stays a list that admits nobody, never an open door. What is left
// out, each entry and each comment, goes to leftOut where one is given.
AllowList ParsedAllowList(QStringList* leftOut)
{
    const QStringList written = SettingsFile(Key::Allow.Group).ReadList(Key::Allow.Name);
    QStringList entries;
    for (const QString& entry : written) {
        entries.append(entry.section(QLatin1Char('#'), 0, 0));
        if (entry.contains(QLatin1Char('#')))
            break;
    }
    const bool nothingLeft = entries.join(QString()).trimmed().isEmpty();
    QStringList invalid;
    const AllowList list = AllowList::Parse(nothingLeft ? written : entries, &invalid);
    if (leftOut == nullptr)
        return list;
    for (const QString& entry : std::as_const(invalid))
        leftOut->append(Key::Allow.Title() + Key::Allow.Faults.at(0).arg(entry));
    // "127.0.0.1;::1" admits 127.0.0.1 alone.
    const QString line = SettingsFile::LineAsWritten(Key::Allow.Group, Key::Allow.Name);
    const qsizetype comment = line.indexOf(QRegularExpression(QStringLiteral("[;#]")));
    if (comment >= 0 && !line.contains(QLatin1Char('"')))
        leftOut->append(Key::Allow.Title()
                        + Key::Allow.Faults.at(1).arg(line.at(comment), line.mid(comment + 1).trimmed()));
    return list;
}

} // namespace

QStringList AllowListLeftOut()
{
    QStringList leftOut;
    ParsedAllowList(&leftOut);
    return leftOut;
}

ClientsAllowed ReadClientsAllowed()
{
    ClientsAllowed allowed;
    allowed.list = ParsedAllowList(&allowed.leftOut);
    allowed.key = Key::Allow.Title();
    return allowed;
}

void TellClientsAllowed(const ClientsAllowed& allowed)
{
    for (const QString& entry : allowed.leftOut)
        qCWarning(lcSettings).noquote() << entry;
    if (!allowed.list.IsOpen())
        qCInfo(lcNet).noquote() << "clients admitted only from" << allowed.list.Text();
}

std::optional<ListenAddress> LoadWebListen()
{
    const SettingsFile file(Key::Listen.Group);
    return file.Contains(Key::Listen.Name) ? ParseListenAddress(file.ReadText(Key::Listen.Name)) : std::nullopt;
}

std::optional<QString> WebListenFault()
{
    const SettingsFile file(Key::Listen.Group);
    if (!file.Contains(Key::Listen.Name) || ParseListenAddress(file.ReadText(Key::Listen.Name)))
        return std::nullopt;
    return Said(file, Key::Listen);
}

std::optional<int> LoadWebDisplays()
{
    return Number(SettingsFile(Key::Displays.Group), Key::Displays, Key::Displays.Default.toInt());
}
