#include "serial/AccessHint.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <vector>

namespace {

bool InGroup(const AccessUser& user, gid_t group)
{
    return std::find(user.Groups.begin(), user.Groups.end(), group) != user.Groups.end();
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

AccessUser AccessUser::OfThisProcess()
{
    AccessUser self;
    self.Uid = ::geteuid();
    const passwd* entry = ::getpwuid(self.Uid);
    self.Name = entry != nullptr ? QString::fromLocal8Bit(entry->pw_name) : QString::number(self.Uid);
    const int count = ::getgroups(0, nullptr);
    self.Groups.resize(size_t(std::max(count, 0)));
    self.Groups.resize(size_t(std::max(::getgroups(count, self.Groups.data()), 0)));
    self.Groups.push_back(::getegid());
    return self;
}

std::optional<AccessUser> AccessUser::Named(const QString& name, const QString& group, const QStringList& others)
{
    const QByteArray login = name.toLocal8Bit();
    const passwd* entry = ::getpwnam(login.constData());
    if (entry == nullptr)
        return std::nullopt;
    AccessUser user;
    user.Name = name;
    user.Uid = entry->pw_uid;
    user.Self = false;
    const gid_t own = entry->pw_gid;
    // Asked again with room for as many as there are, where the first guess was short.
    int count = 64;
    user.Groups.resize(size_t(count));
    if (::getgrouplist(login.constData(), own, user.Groups.data(), &count) < 0) {
        user.Groups.resize(size_t(count));
        ::getgrouplist(login.constData(), own, user.Groups.data(), &count);
    }
    user.Groups.resize(size_t(std::max(count, 0)));
    QStringList extras = others;
    extras.append(group);
    for (const QString& extra : std::as_const(extras)) {
        if (const struct group* found = ::getgrnam(extra.toLocal8Bit().constData()))
            user.Groups.push_back(found->gr_gid);
    }
    return user;
}

bool MayOpen(const QString& path, int access, const AccessUser& user)
{
    const QByteArray name = QFile::encodeName(path);
    if (user.Self)
        return ::access(name.constData(), access) == 0;
    struct stat node = {};
    if (::stat(name.constData(), &node) != 0)
        return false;
    if (user.Uid == 0)
        return true;
    // The owner's bits for the owner, the group's for a member, the others' for the rest: no more.
    const int shift = node.st_uid == user.Uid ? 6 : InGroup(user, node.st_gid) ? 3 : 0;
    static_assert(R_OK == 04 && W_OK == 02 && X_OK == 01, "access(2)'s bits are a mode's");
    const int wanted = access & 07;
    return (int(node.st_mode >> shift) & wanted) == wanted;
}

QString AccessHint(const QString& device, const AccessUser& account)
{
    const QString& user = account.Name;
    const QString relogin = QStringLiteral("then log in again or restart the service");
    struct stat node = {};
    if (device.isEmpty() || ::stat(QFile::encodeName(device).constData(), &node) != 0)
        return QStringLiteral(" - the user %1 needs the dialout group: sudo adduser %1 dialout, %2").arg(user, relogin);
    const passwd* owner = ::getpwuid(node.st_uid);
    const group* holder = ::getgrgid(node.st_gid);
    const QString group = holder != nullptr ? QString::fromLocal8Bit(holder->gr_name) : QString::number(node.st_gid);
    const QString what
        = QStringLiteral("%1 is %2:%3, mode %4")
              .arg(device, owner != nullptr ? QString::fromLocal8Bit(owner->pw_name) : QString::number(node.st_uid),
                   group)
              .arg(node.st_mode & 07777, 4, 8, QLatin1Char('0'));
    // A pseudo-terminal is no device a udev rule sees: its owner and mode are those its maker gave it.
    if (QFileInfo(device).canonicalFilePath().startsWith(QLatin1String("/dev/pts/")))
        return QStringLiteral(" - %1, a pseudo-terminal, whose owner and mode are those the program that made it "
                              "gave it: have that program make it for the user %2, or give it to the dialout group "
                              "(chgrp dialout; chmod g+rw) once it is made")
            .arg(what, user);
    if (!InGroup(account, node.st_gid)) {
        // A serial group is for serial lines; root's or another's would give the relay far more than a line.
        if (group == QLatin1String("dialout") || group == QLatin1String("uucp"))
            return QStringLiteral(" - %1: the user %2 needs the %3 group: sudo adduser %2 %3, %4")
                .arg(what, user, group, relogin);
        const struct group* dialout = ::getgrnam("dialout");
        const QString join = dialout != nullptr && InGroup(account, dialout->gr_gid)
            ? QString()
            : QStringLiteral(", and sudo adduser %1 dialout, %2").arg(user, relogin);
        return QStringLiteral(" - %1, a group no service should join: give the device the dialout group with a udev "
                              "rule, e.g. SUBSYSTEM==\"tty\", KERNEL==\"%2\", GROUP=\"dialout\", MODE=\"0660\" in "
                              "/etc/udev/rules.d/70-horaline.rules, then sudo udevadm trigger%3")
            .arg(what, QFileInfo(QFileInfo(device).canonicalFilePath()).fileName(), join);
    }
    const QString kind = S_ISCHR(node.st_mode) ? MajorName(major(node.st_rdev)) : QString();
    return QStringLiteral(" - %1 and %4 is in the %2 group already: something else keeps it out, as a "
                          "service's device policy does (systemctl edit horaline@NAME: DeviceAllow=char-%3 rw)")
        .arg(what, group, kind.isEmpty() ? QStringLiteral("<kind>") : kind,
             account.Self ? QStringLiteral("this process") : QStringLiteral("the user ") + user);
}
