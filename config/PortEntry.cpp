#include "config/PortEntry.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

PortEntry ParsePortEntry(const QString& text)
{
    const QByteArray bytes = text.left(31).toLatin1();
    const char* begin = bytes.constData();
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(begin, &end, 10);
    if (end == begin || !std::isdigit(static_cast<unsigned char>(end[-1])))
        return {PortEntry::NotAnInteger, 0};
    for (const char* rest = end; *rest != '\0'; ++rest) {
        if (!std::isspace(static_cast<unsigned char>(*rest)))
            return {PortEntry::NotAnInteger, 0};
    }
    // An overflowing number is still a number, just out of range.
    if (errno == ERANGE || parsed < MinPort || parsed > MaxPort)
        return {PortEntry::OutOfRange, 0};
    return {PortEntry::Valid, static_cast<int>(parsed)};
}
