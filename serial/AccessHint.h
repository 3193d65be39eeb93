#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <sys/types.h>
#include <vector>

// Whom a device's access is judged for: this process, or the user a service runs as, with every group
// it is in.
struct AccessUser
{
    QString Name;
    uid_t Uid = 0;
    std::vector<gid_t> Groups;
    // This process itself: the system judges it, access control lists and all.
    bool Self = true;

    static AccessUser OfThisProcess();
    // A user by name, in its own groups and these others; nothing for a user the system does not have.
    static std::optional<AccessUser> Named(const QString& name, const QString& group, const QStringList& others);
};

// Whether the user may open the path for these accesses (R_OK, W_OK): as the system says for this
// process, by the owner, group and mode for another user.
bool MayOpen(const QString& path, int access, const AccessUser& user);

// What mends a device the user may not open (EACCES, EPERM), with the device's owner, group and mode
// and the user by name: a user not in the device's serial group is told to join it; a device of root's
// or another group is to be given the dialout group by a udev rule, never the user that group; a
// pseudo-terminal's owner and mode are its maker's; a user in the group already is kept out by
// something else, most often a service manager's device policy, and is told which kind of device to
// allow there.
QString AccessHint(const QString& device, const AccessUser& user = AccessUser::OfThisProcess());
