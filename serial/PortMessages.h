#pragma once

#include <QString>

enum class PortFailure
{
    InvalidName, // no COM name, or one no device is mapped to
    Missing,
    Busy,
    Open, // any other reason the device would not open
    ReadState,
    NoSpeed,
    SetState,
};

enum class PortSide
{
    Input,
    Output,
};

// Why a line would not open or be set up: the case and the system's errno.
struct PortFault
{
    PortFailure failure;
    int error;
};

// A line that is missing, held by another program or refused by the system may come back by itself (an
// adapter plugged in, a program ending); a wrong name or speed needs the operator.
bool HealsByItself(PortFailure failure);

// How grave a message is; the view chooses the icon that says it.
enum class Severity
{
    Information,
    Exclamation,
    Stop,
};

struct PortMessage
{
    QString text;
    QString title;
    Severity severity;
};

// What the operator is told when a port cannot be opened or set up; the two sides word it differently.
PortMessage PortFailureMessage(PortSide side, PortFailure failure, int error, const QString& name);

PortMessage PortFailureMessage(PortSide side, const PortFault& fault, const QString& name);

// The failure an open(2) errno stands for.
PortFailure OpenFailure(int error);

// The log's words for a line's fault: the operator's text, then the device its name stands for, the
// system's own words for the errno and, where one helps, what to do about it.
QString PortFaultLogText(const QString& text, const QString& device, int error);
