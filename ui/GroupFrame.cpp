#include "ui/GroupFrame.h"

#include <QPainter>

GroupFrame::GroupFrame(const QString& title, QWidget* parent)
    : QWidget(parent)
    , TitleText(title)
{ }

void GroupFrame::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QFontMetrics metrics(font());
    const QPalette& colours = palette();
    // Etched: a shadow line, and a light one just inside and below it.
    const QRect frame = rect().adjusted(0, metrics.height() / 2, -2, -2);
    painter.setPen(colours.color(QPalette::Dark));
    painter.drawRect(frame);
    painter.setPen(colours.color(QPalette::Light));
    painter.drawRect(frame.translated(1, 1));

    const int inset = metrics.averageCharWidth();
    const QRect title(inset, 0, metrics.horizontalAdvance(TitleText) + inset / 2, metrics.height());
    painter.fillRect(title, colours.color(QPalette::Window));
    painter.setPen(colours.color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    painter.drawText(title, Qt::AlignLeft | Qt::AlignVCenter, TitleText);
}
