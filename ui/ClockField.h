#pragma once

#include <QString>
#include <QTimer>

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
