#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <termios.h>

// An open serial device held exclusively: TIOCEXCL against other programs, flock against other
// Horalines, and a UUCP lock file for programs that honour that convention.
struct SerialOpenResult
{
    int fd; // -1 on failure
    int error; // errno of the failure; EBUSY when another process holds the device
};

SerialOpenResult OpenSerialDevice(const QString& device);
void CloseSerialDevice(int fd, const QString& device);

// The termios speed for a speed list text; nothing for any other text, which leaves the speed alone.
std::optional<speed_t> SpeedFromText(const QString& text);
// The speed list's texts, slowest first: "300" to "38400".
QStringList SpeedNames();

// Raw 8N1 with the receiver on and modem lines ignored; the port's own flow-control settings stay.
void ConfigureLine(termios& line, std::optional<speed_t> speed);

// Writes all bytes or gives up after the time-out, so a port held back by flow control cannot freeze
// the caller. Returns 0 or the errno (ETIMEDOUT when it gave up); sent, when given, says how many bytes
// went out. Nothing queued is ever flushed: a reader in the middle of a frame would get it torn.
int WriteBounded(int fd, const char* data, size_t size, int timeoutMs, size_t* sent = nullptr);

// The UUCP lock convention: /run/lock/LCK..<device name> holding the owner's process id.
// Where locks are looked for and written, /run/lock then /var/lock; a test gives a folder of its own.
void SetLockFolders(const QStringList& folders);
bool IsLockedByLiveProcess(const QString& lockFile);
// The live process whose lock file names the device, if any.
std::optional<qint64> UucpLockHolder(const QString& device);
QString UucpLockFile(const QString& lockFolder, const QString& device);
