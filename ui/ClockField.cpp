#include "ui/ClockField.h"

#include "ui/HeavyFont.h"

#include <QLabel>

ClockField::ClockField(QLabel* field)
    : Field(field)
{
    Refresh.setSingleShot(true);
    Refresh.setInterval(40);
    QObject::connect(&Refresh, &QTimer::timeout, Field, [this] {
        if (Field->text() != Text)
            SetClock(Text);
    });
}

void ClockField::CreateClockFont()
{
    Field->setFont(HeavyFontFor(Field, Field->height() - 5, QStringLiteral("00:00:00"), Field->width() / 12));
}

void ClockField::SetClock(const QString& text)
{
    Text = text;
    if (Refresh.isActive())
        return;
    Field->setText(text);
    Refresh.start();
}
