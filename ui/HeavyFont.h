#pragma once

#include <QFont>
#include <QString>

class QLabel;

// A heavy face as large as the field allows: its character cell within the height, and the widest
// text it shows within the width less a visible margin on each side.
QFont HeavyFontFor(const QLabel* field, int cellHeight, const QString& widest, int margin);
