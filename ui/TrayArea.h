#pragma once

#include <QString>
#include <functional>

class QMenu;
class QSystemTrayIcon;
class QWidget;

// The window's icon in the notification area and its menu (About, Exit). What the icon and the menu are
// asked is handed to the window: a mouse message, or a command id (2 Exit, 3 About).
class TrayArea
{
public:
    TrayArea();

    void Add(QWidget* window, std::function<void(unsigned)> mouse, std::function<void(int)> command);
    void Remove();
    QMenu* Menu() const { return Popup; }
    // Where the desktop has no notification area, minimising must not hide the window for good.
    void SetAvailability(std::function<bool()> available) { Available = std::move(available); }
    // Shown, on a desktop that has a notification area to show it in.
    bool Shown() const;

private:
    QSystemTrayIcon* Icon = nullptr;
    QMenu* Popup = nullptr;
    std::function<bool()> Available;
};
