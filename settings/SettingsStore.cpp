#include "relay/CRelayDlg.h"
#include "settings/SettingsFile.h"

#include <QLineEdit>

namespace {

const QString Missing = QStringLiteral(" ");

// A stored text other than the marker is taken, even an empty one; otherwise the current value is
// written back, so that the file always holds every value.
void LoadString(SettingsFile& file, const QString& name, QString& value)
{
    const QString stored = file.ReadString(name, Missing);
    if (stored != Missing)
        value = stored;
    else
        file.Write(name, value);
}

void LoadInt(SettingsFile& file, const QString& name, int marker, int& value)
{
    const int stored = file.ReadInt(name, marker);
    if (stored != marker)
        value = stored;
    else
        file.Write(name, value);
}

} // namespace

void CRelayDlg::LoadSettings()
{
    {
        SettingsFile file;
        LoadString(file, QStringLiteral("InComName"), InComName);
        LoadString(file, QStringLiteral("InComSpeed"), InComSpeed);
        LoadString(file, QStringLiteral("OutComName"), OutComName);
        LoadString(file, QStringLiteral("OutComSpeed"), OutComSpeed);
        LoadString(file, QStringLiteral("ServerName"), ServerName);
        Ui.ServerName->setText(ServerName);
        LoadInt(file, QStringLiteral("ServerPort"), 0, ServerPort);
        ClientPort = ListenPort = ServerPort;
        LoadInt(file, QStringLiteral("ProgRun"), -1, RunFlag);
        LoadInt(file, QStringLiteral("ProgMode"), -1, RelayMode);
    }
    DoDataExchange(false);
}

void CRelayDlg::SaveSettings()
{
    SettingsFile file;
    file.Write(QStringLiteral("InComName"), InComName);
    file.Write(QStringLiteral("InComSpeed"), InComSpeed);
    file.Write(QStringLiteral("OutComName"), OutComName);
    file.Write(QStringLiteral("OutComSpeed"), OutComSpeed);
    file.Write(QStringLiteral("ServerName"), ServerName);
    file.Write(QStringLiteral("ServerPort"), ServerPort);
    file.Write(QStringLiteral("ProgMode"), RelayMode);
    file.Write(QStringLiteral("ProgRun"), RunFlag);
}

void CRelayDlg::SaveRunState()
{
    SettingsFile file;
    file.Write(QStringLiteral("ProgRun"), RunFlag);
}
