#include "ui/ClockField.h"

#include <QFontInfo>
#include <QFontMetrics>
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

QFont HeavyFontFor(const QLabel* field, int cellHeight, const QString& widest, int margin)
{
    QFont font;
    font.setFamilies({QStringLiteral("Arial Black"), QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    font.setPixelSize(std::max(1, cellHeight));
    // Arial Black is heavy by design; a stand-in face needs its heaviest weight to look like it.
    if (QFontInfo(font).family() != QLatin1String("Arial Black"))
        font.setWeight(QFont::Black);
    const int width = field->contentsRect().width() - 2 * margin;
    // The height asked for is the whole character cell, leading included, not the em size.
    const auto fits = [&] {
        const QFontMetrics metrics(font);
        return metrics.height() <= cellHeight && metrics.horizontalAdvance(widest) <= width;
    };
    while (!fits() && font.pixelSize() > 1)
        font.setPixelSize(font.pixelSize() - 1);
    return font;
}
