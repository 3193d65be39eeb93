#pragma once

#include <QFont>
#include <QRect>
#include <QSize>
#include <QStringList>
#include <QWidget>

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

// A group frame drawn as the window's template draws it: the etched frame fills the group's
// rectangle, its top line runs through the middle of the title, and the title sits on the line.
// QGroupBox puts its title above the frame instead, so every frame would start a line too low.
class GroupFrame : public QWidget
{
public:
    GroupFrame(const QString& title, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString TitleText;
};

// The entries of both speed lists, in their fixed order; the first is the "not chosen" placeholder.
QStringList SpeedListItems();

class QComboBox;
class QDialog;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

// Control ids; each widget's objectName is its id's name, so tests and tools find it by that.
enum ControlId
{
    ID_OK = 1,
    ID_CANCEL = 2,
    IDC_ABOUT = 3,
    IDC_MODE_CLIENT = 1000,
    IDC_MODE_SERVER = 1001,
    IDC_IN_COM_NAME = 1002,
    IDC_CLOCK = 1004,
    IDC_STATUS = 1005,
    IDC_START = 1006,
    IDC_IN_COM_SPEED = 1007,
    IDC_SERVER_NAME = 1009,
    IDC_SERVER_PORT = 1010,
    IDC_OUT_COM_NAME = 1011,
    IDC_OUT_COM_SPEED = 1012,
    IDC_LISTEN_PORT = 1014,
    IDC_LOCAL_ADDRS = 1017,
    IDC_LOCAL_NAME = 1019,
};

// The size of the main window's client area in dialog units.
constexpr QSize RelayWindowUnits {295, 198};

// The named controls of the main window.
struct RelayControls
{
    QPushButton* Ok;
    QPushButton* Exit;
    QPushButton* ModeClient;
    QPushButton* ModeServer;
    QComboBox* InComName;
    QLabel* Clock;
    QLabel* Status;
    QPushButton* About;
    QPushButton* Start;
    QComboBox* InComSpeed;
    QLineEdit* ServerName;
    QLineEdit* ServerPort;
    QComboBox* OutComName;
    QComboBox* OutComSpeed;
    QLineEdit* ListenPort;
    QListWidget* LocalAddrs;
    QLabel* LocalName;
};

// Creates every control of the main window at its place, in tab order.
RelayControls BuildRelayTemplate(QDialog* window, DialogBaseUnits base);
