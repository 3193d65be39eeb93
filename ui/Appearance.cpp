#include "ui/CRelayDlg.h"

#include <QComboBox>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace {

void PaintBackground(QLabel* field, QColor background, bool blackText)
{
    QPalette palette = field->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Window, background);
        // The local name must stay readable while the server side is disabled.
        if (blackText)
            palette.setColor(group, QPalette::WindowText, Qt::black);
    }
    field->setPalette(palette);
}

} // namespace

void CRelayDlg::ApplyFieldColours()
{
    PaintBackground(Ui.Clock, QColor(255, 200, 230), false);
    PaintBackground(Ui.Status, QColor(100, 255, 100), false);
    PaintBackground(Ui.LocalName, QColor(255, 255, 100), true);
}

namespace {

// A heavy face as large as the field allows: its character cell within the height, and the widest
// text it shows within the width less a visible margin on each side.
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

} // namespace

void CRelayDlg::CreateClockFont()
{
    ClockFont = HeavyFontFor(Ui.Clock, Ui.Clock->height() - 5, QStringLiteral("00:00:00"), Ui.Clock->width() / 12);
    Ui.Clock->setFont(ClockFont);
    // The status line's own height, so that descenders stay inside its frame.
    Ui.Status->setFont(HeavyFontFor(Ui.Status, Ui.Status->contentsRect().height(), QString(), 0));
}

void CRelayDlg::AddToolTips()
{
    const std::pair<QWidget*, const char*> tips[] = {
        {Ui.Start, "Activate IO link"},
        {Ui.ModeServer, "Select Server modality"},
        {Ui.ModeClient, "Select Client modality"},
        {Ui.InComName, "RS232 name for the Input signal"},
        {Ui.InComSpeed, "RS232 speed for the Input signal"},
        {Ui.ServerName, "Name of the Server to connect"},
        {Ui.ServerPort, "Server port"},
        {Ui.OutComName, "RS232 name for the Output"},
        {Ui.OutComSpeed, "RS232 speed for the Output"},
        {Ui.Status, "Status messages"},
        {Ui.Clock, "Clock value received"},
        {Ui.About, "Show the About dialog"},
        {Ui.Exit, "Close the program"},
        {Ui.LocalAddrs, "In Server mode use one of these for Clocks"},
    };
    for (const auto& [control, tip] : tips)
        control->setToolTip(QLatin1String(tip));
}
