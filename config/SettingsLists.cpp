#include "config/SettingsLists.h"

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

QString ComDeviceIn(const QString& name, const ComDeviceMap& ports)
{
    const std::optional<int> number = ParseComName(name);
    return number ? ComDevice(*number, ports) : QString();
}

namespace {

const QString ClientsGroup = QStringLiteral("Clients");
const QString AllowKey = QStringLiteral("Allow");

// The settings file ends a value at ';' but keeps a '#' and what follows: both are comments here. A
// list that is nothing but a comment stays a list that admits nobody, never an open door. What is left
// out, each entry and each comment, goes to leftOut where one is given.
AllowList ParsedAllowList(QStringList* leftOut)
{
    const QStringList written = SettingsFile(ClientsGroup).ReadList(AllowKey);
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
        leftOut->append(QStringLiteral("[Clients] Allow: not an address or range, left out: %1").arg(entry));
    // "127.0.0.1;::1" admits 127.0.0.1 alone.
    const QString line = SettingsFile::LineAsWritten(ClientsGroup, AllowKey);
    const qsizetype comment = line.indexOf(QRegularExpression(QStringLiteral("[;#]")));
    if (comment >= 0 && !line.contains(QLatin1Char('"')))
        leftOut->append(QStringLiteral("[Clients] Allow: the rest of the line is a comment from '%1' on, left out: "
                                       "%2; separate addresses with commas")
                            .arg(line.at(comment), line.mid(comment + 1).trimmed()));
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
    return allowed;
}

void TellClientsAllowed(const ClientsAllowed& allowed)
{
    for (const QString& entry : allowed.leftOut)
        qCWarning(lcSettings).noquote() << entry;
    if (!allowed.list.IsOpen())
        qCInfo(lcNet).noquote() << "clients admitted only from" << allowed.list.Text();
}

namespace {

const QString WebGroup = QStringLiteral("Web");
const QString ListenKey = QStringLiteral("Listen");

} // namespace

std::optional<ListenAddress> LoadWebListen()
{
    const SettingsFile file(WebGroup);
    return file.Contains(ListenKey) ? ParseListenAddress(file.ReadText(ListenKey)) : std::nullopt;
}

std::optional<QString> WebListenFault()
{
    const SettingsFile file(WebGroup);
    if (!file.Contains(ListenKey) || ParseListenAddress(file.ReadText(ListenKey)))
        return std::nullopt;
    return QStringLiteral("[Web] Listen=%1 is no address and port: write e.g. Listen=127.0.0.1:8530, or "
                          "Listen=[::]:8530 for every address")
        .arg(file.ReadText(ListenKey));
}
