#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <optional>

constexpr int FirstComNumber = 1;
constexpr int LastComNumber = 255;

// The number of a "COM%d" name, 1 to 255; nothing for any other text.
std::optional<int> ParseComName(const QString& name);

// COM1-32 are ttyS0-31, COM33-64 ttyUSB0-31, COM65-96 ttyACM0-31; other numbers have no default.
QString DefaultComDevice(int number);

// Explicit devices by COM number, as the operator maps them (COM3=/dev/serial/by-id/...).
using ComDeviceMap = QMap<int, QString>;

// The device a COM name stands for: an explicit entry first, then the default; empty when none.
QString ComDevice(int number, const ComDeviceMap& explicitDevices);
// The same by COM name; empty for a name that is no COM name.
QString ComDeviceIn(const QString& name, const ComDeviceMap& ports);

// Present: the node is a character device, and a ttyS node has a real UART behind it (Linux keeps
// nodes for absent ones). Nothing is opened.
bool IsComDevicePresent(const QString& device);

// Sorted as the port lists show them: case-insensitive, character by character, so COM10 comes
// before COM2 and "<Port>" before every name.
void SortPortNames(QStringList& names);

// The entry a saved text selects, ignoring case: the one that is that text, else the first whose text
// begins with it, searched from index start + 1 to the end and then from the beginning; -1 when none does.
int SelectStringIndex(const QStringList& entries, const QString& text, int start);
