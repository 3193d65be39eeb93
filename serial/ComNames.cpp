#include "serial/ComNames.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <sys/stat.h>

std::optional<int> ParseComName(const QString& name)
{
    static const QRegularExpression pattern(QStringLiteral("^COM([1-9][0-9]{0,2})$"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = pattern.match(name);
    if (!match.hasMatch())
        return std::nullopt;
    const int number = match.captured(1).toInt();
    if (number > LastComNumber)
        return std::nullopt;
    return number;
}

QString DefaultComDevice(int number)
{
    struct Range
    {
        int first;
        const char* prefix;
    };
    for (const Range range : {Range {1, "/dev/ttyS"}, Range {33, "/dev/ttyUSB"}, Range {65, "/dev/ttyACM"}}) {
        if (number >= range.first && number < range.first + 32)
            return QLatin1String(range.prefix) + QString::number(number - range.first);
    }
    return QString();
}

QString ComDevice(int number, const ComDeviceMap& explicitDevices)
{
    return explicitDevices.value(number, DefaultComDevice(number));
}

QString ComDeviceIn(const QString& name, const ComDeviceMap& ports)
{
    const std::optional<int> number = ParseComName(name);
    return number ? ComDevice(*number, ports) : QString();
}

bool IsComDevicePresent(const QString& device)
{
    struct stat info
    {
    };
    if (device.isEmpty() || ::stat(QFile::encodeName(device).constData(), &info) != 0 || !S_ISCHR(info.st_mode))
        return false;
    const QString node = QFileInfo(QFileInfo(device).canonicalFilePath()).fileName();
    if (!node.startsWith(QLatin1String("ttyS")))
        return true;
    QFile type(QStringLiteral("/sys/class/tty/%1/type").arg(node));
    return type.open(QIODevice::ReadOnly) && type.readAll().trimmed() != "0";
}

void SortPortNames(QStringList& names)
{
    std::sort(names.begin(), names.end(),
              [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
}

int SelectStringIndex(const QStringList& entries, const QString& text, int start)
{
    // The entry that is the saved text itself comes first: "COM3" must not select a COM33 listed after it.
    const auto same = [&text](const QString& entry) {
        return entry.compare(text, Qt::CaseInsensitive) == 0;
    };
    if (const auto exact = std::find_if(entries.begin(), entries.end(), same); exact != entries.end())
        return int(exact - entries.begin());
    const int count = int(entries.size());
    for (int step = 1; step <= count; ++step) {
        const int index = (start + step) % count;
        if (entries[index].startsWith(text, Qt::CaseInsensitive))
            return index;
    }
    return -1;
}
