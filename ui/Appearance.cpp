#include "ui/CRelayDlg.h"

#include <QComboBox>
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
