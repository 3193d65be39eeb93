#include "ui/DialogUnits.h"

#include <QFontMetrics>

namespace {

int Scale(int value, int base, int divisor)
{
    // Rounds to nearest as MulDiv does, so that positions and sizes stay consistent with each other.
    return (value * base + (value >= 0 ? divisor / 2 : -divisor / 2)) / divisor;
}

} // namespace

DialogBaseUnits MeasureDialogFont(const QFont& font)
{
    const QFontMetrics metrics(font);
    const int letters
        = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {(letters / 26 + 1) / 2, metrics.height()};
}

QRect DialogToPixels(const QRect& units, DialogBaseUnits base)
{
    return {Scale(units.x(), base.cx, 4), Scale(units.y(), base.cy, 8), Scale(units.width(), base.cx, 4),
            Scale(units.height(), base.cy, 8)};
}

QSize DialogToPixels(const QSize& units, DialogBaseUnits base)
{
    return {Scale(units.width(), base.cx, 4), Scale(units.height(), base.cy, 8)};
}

QFont DialogFont()
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSize(8);
    return font;
}
