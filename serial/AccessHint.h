#pragma once

#include <QString>

// What mends a device this process may not open (EACCES, EPERM), with the device's owner, group and mode
// and the user by name: a user not in the device's serial group is told to join it; a device of root's
// or another group is to be given the dialout group by a udev rule, never the user that group; a process
// in the group already is kept out by something else, most often a service manager's device policy, and
// is told which kind of device to allow there.
QString AccessHint(const QString& device);
