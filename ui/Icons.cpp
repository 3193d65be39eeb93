#include "ui/Icons.h"

#include <QPainter>
#include <QPixmap>
#include <QtMath>

namespace {

QPointF OnDial(QPointF centre, double radius, double minutes)
{
    const double angle = qDegreesToRadians(minutes * 6.0 - 90.0);
    return centre + QPointF(radius * std::cos(angle), radius * std::sin(angle));
}

} // namespace

QImage DrawClockFace(int size, QColor rim)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    const double edge = size / 16.0;
    const QPointF centre(size / 2.0, size / 2.0);
    const double radius = size / 2.0 - edge;
    painter.setPen(QPen(rim, 1.5 * edge));
    painter.setBrush(QColor(255, 250, 235));
    painter.drawEllipse(centre, radius, radius);

    // Twelve ticks where there is room for them, the four quarters where there is not.
    const int step = size >= 24 ? 5 : 15;
    painter.setPen(QPen(QColor(40, 40, 40), std::max(1.0, edge * 0.8), Qt::SolidLine, Qt::RoundCap));
    for (int minute = 0; minute < 60; minute += step)
        painter.drawLine(OnDial(centre, radius * 0.78, minute), OnDial(centre, radius * 0.92, minute));

    // Ten past ten, the hands apart so the face reads as a clock at any size.
    painter.setPen(QPen(QColor(20, 20, 20), 1.6 * edge, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(centre, OnDial(centre, radius * 0.5, 50.5));
    painter.setPen(QPen(QColor(20, 20, 20), 1.1 * edge, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(centre, OnDial(centre, radius * 0.75, 10));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(200, 30, 30));
    painter.drawEllipse(centre, 1.2 * edge, 1.2 * edge);
    return image;
}

QImage MainIconImage(int size)
{
    return DrawClockFace(size, QColor(30, 70, 160));
}

QIcon MainIcon()
{
    QIcon icon;
    for (int size : {32, 16})
        icon.addPixmap(QPixmap::fromImage(MainIconImage(size)));
    return icon;
}

QIcon TrayIcon()
{
    return QIcon(QPixmap::fromImage(DrawClockFace(16, QColor(20, 130, 60))));
}
