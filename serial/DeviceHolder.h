#pragma once

#include <QList>
#include <QString>
#include <optional>

// Who holds a device or a port now, as far as this user may see: for a line the process that has it
// flock'ed (the kernel's lock table) or named in its UUCP lock, and what that process is, a Horaline
// with its settings file or another program by name.

// The pid that holds the device; nothing when none does, or none this user can see.
std::optional<qint64> DeviceHolder(const QString& device);

// "Horaline pid 1234 on the settings /etc/horaline/studio1.ini", "pid 1234 (minicom)", or "pid 1234".
QString DescribeProcess(qint64 pid);

bool IsHoralineProcess(qint64 pid);

// Every Horaline process this user may see.
QList<qint64> HoralineProcesses();

// The settings file a Horaline process runs on when named on its command line; empty for another
// program, or a Horaline on its user's own settings.
QString SettingsOfProcess(qint64 pid);
