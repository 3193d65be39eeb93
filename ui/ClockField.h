#pragma once

#include <QFont>
#include <QString>
#include <QTimer>

class QLabel;

// A heavy face as large as the field allows: its character cell within the height, and the widest
// text it shows within the width less a visible margin on each side.
QFont HeavyFontFor(const QLabel* field, int cellHeight, const QString& widest, int margin);

class QLabel;

// The big clock: its font fitted to the field, and its text repainted at most every 40 ms. Painting
// the large field costs more than relaying a value; at rates no one can read, the values in between
// are skipped on screen, never on the lines, and the newest always ends up shown.
class ClockField
{
public:
    explicit ClockField(QLabel* field);
    ClockField(const ClockField&) = delete;
    ClockField& operator=(const ClockField&) = delete;

    void CreateClockFont();
    void SetClock(const QString& text);

private:
    QLabel* Field;
    QTimer Refresh;
    QString Text;
};
