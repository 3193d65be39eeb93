#include "serial/AccessHint.h"

#include <QFile>
#include <algorithm>
#include <grp.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <vector>

namespace {

bool InGroup(gid_t group)
{
    if (::getegid() == group)
        return true;
    const int count = ::getgroups(0, nullptr);
    std::vector<gid_t> groups(size_t(std::max(count, 0)));
    const int got = ::getgroups(count, groups.data());
    return std::find(groups.begin(), groups.begin() + std::max(got, 0), group) != groups.begin() + std::max(got, 0);
}

// The kernel's name for a character device's major number, as systemd's DeviceAllow=char-NAME takes it.
QString MajorName(unsigned int major)
{
    QFile devices(QStringLiteral("/proc/devices"));
    if (!devices.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    bool character = false;
    while (!devices.atEnd()) {
        const QString line = QString::fromLatin1(devices.readLine()).trimmed();
        if (line.endsWith(QLatin1Char(':'))) {
            character = line == QLatin1String("Character devices:");
            continue;
        }
        const QStringList fields = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (character && fields.size() == 2 && fields[0].toUInt() == major)
            return fields[1];
    }
    return QString();
}

} // namespace

QString AccessHint(const QString& device)
{
    struct stat node = {};
    const group* owner = nullptr;
    if (!device.isEmpty() && ::stat(QFile::encodeName(device).constData(), &node) == 0)
        owner = ::getgrgid(node.st_gid);
    if (owner == nullptr)
        return QStringLiteral(" - the user running Horaline needs the dialout group: sudo adduser <user> dialout, "
                              "then log in again or restart the service");
    const QString name = QString::fromLocal8Bit(owner->gr_name);
    if (!InGroup(node.st_gid))
        return QStringLiteral(" - the user running Horaline needs the %1 group: sudo adduser <user> %1, then log in "
                              "again or restart the service")
            .arg(name);
    const QString kind = S_ISCHR(node.st_mode) ? MajorName(major(node.st_rdev)) : QString();
    return QStringLiteral(" - this process is in the %1 group already: something else keeps it out, as a service's "
                          "device policy does (systemctl edit horaline@NAME: DeviceAllow=char-%2 rw)")
        .arg(name, kind.isEmpty() ? QStringLiteral("<kind>") : kind);
}
