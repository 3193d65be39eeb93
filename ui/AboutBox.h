#pragma once

#include <QDialog>

class QPushButton;

// Product name and version, nothing more.
class CAboutBox final : public QDialog
{
    Q_OBJECT

public:
    explicit CAboutBox(QWidget* owner);

    // Centred over the main window, or in the work area when that window is out of sight.
    void PlaceOver(const QWidget* mainWindow);
    QPushButton* OkButton() const { return Ok; }

private:
    QPushButton* Ok;
};
