#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

// Window layouts are given in dialog units: a quarter of the dialog font's average character width
// across, an eighth of its height down.
struct DialogBaseUnits
{
    int cx;
    int cy;
};

// Measured as the Windows dialog manager does: the mean advance of the 52 Latin letters, rounded.
DialogBaseUnits MeasureDialogFont(const QFont& font);

QRect DialogToPixels(const QRect& units, DialogBaseUnits base);
QSize DialogToPixels(const QSize& units, DialogBaseUnits base);

// "MS Sans Serif" 8 pt as asked for; fontconfig substitutes what this desktop has.
QFont DialogFont();
