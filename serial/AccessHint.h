#pragma once

#include <QString>

// What mends a device this process may not open (EACCES, EPERM): a user not in the device's group is
// told to join it; a process in that group already is kept out by something else, most often a service
// manager's device policy, and is told which kind of device to allow there.
QString AccessHint(const QString& device);
