#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>

// A clock face drawn at the exact pixel size, so the small image stays crisp rather than scaled down.
QPixmap DrawClockFace(int size, QColor rim);

// The window's icon, with a 32 and a 16 pixel image.
QIcon MainIcon();

// The notification-area icon, 16 pixels, told apart from the window's by its colour.
QIcon TrayIcon();
