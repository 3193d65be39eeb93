#pragma once

#include "serial/PortMessages.h"

// Box types and answers with the values the operator's texts were written against.
enum MessageBoxType : unsigned
{
    MB_OK = 0x0,
    MB_YESNO = 0x4,
    MB_ICONSTOP = 0x10,
    MB_ICONQUESTION = 0x20,
    MB_ICONEXCLAMATION = 0x30,
    MB_ICONINFORMATION = 0x40,
    MB_DEFBUTTON2 = 0x100,
};

enum MessageBoxAnswer
{
    IDOK = 1,
    IDCANCEL = 2,
    IDYES = 6,
    IDNO = 7,
};

// The icon a message of this severity is shown with.
constexpr unsigned IconOf(Severity severity)
{
    switch (severity) {
    case Severity::Information:
        return MB_ICONINFORMATION;
    case Severity::Exclamation:
        return MB_ICONEXCLAMATION;
    case Severity::Stop:
        break;
    }
    return MB_ICONSTOP;
}

// The answer of a box's default button, for when nobody is there to read it.
constexpr int DefaultAnswer(unsigned type)
{
    if ((type & 0xF) != MB_YESNO)
        return IDOK;
    return (type & MB_DEFBUTTON2) != 0 ? IDNO : IDYES;
}
