#pragma once

#include "sources/Sample.h"

#include <QString>

// Where a source or a line is: a line's device and speed, a server's port and address, its state and
// what is wrong with it.
struct PlaceReport
{
    SourceKind Kind = SourceKind::Clock;
    QString Name;
    QString Device;
    QString Speed;
    int Port = 0;
    QString Address;
    QString State;
    QString Fault;

    static PlaceReport OfLine(const QString& name, const QString& device, const QString& speed)
    {
        PlaceReport place;
        place.Kind = SourceKind::Line;
        place.Name = name;
        place.Device = device;
        place.Speed = speed;
        return place;
    }
    static PlaceReport OfServer(const QString& name, int port)
    {
        PlaceReport place;
        place.Kind = SourceKind::Server;
        place.Name = name;
        place.Port = port;
        return place;
    }
    static PlaceReport OfClock(const QString& name)
    {
        PlaceReport place;
        place.Name = name;
        return place;
    }
};

// This computer's clock where a source sends it: whether the kernel counts it as synchronised, and
// its maximum error.
struct ClockReport
{
    bool Synchronised = false;
    double MaxErrorS = 0;
};
