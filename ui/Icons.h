#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>

// A clock face drawn at the exact pixel size, so the small image stays crisp rather than scaled down.
QImage DrawClockFace(int size, QColor rim);

// The window icon's face at any size, for the desktop's icon theme.
QImage MainIconImage(int size);

// The window's icon, with a 32 and a 16 pixel image.
QIcon MainIcon();

// The notification-area icon, 16 pixels, told apart from the window's by its colour.
QIcon TrayIcon();
