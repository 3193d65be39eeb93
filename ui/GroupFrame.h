#pragma once

#include <QWidget>

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
