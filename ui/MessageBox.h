#pragma once

#include "serial/Boxes.h"

#include <QString>
#include <functional>

class QWidget;

// Shows one modal box and returns the answer; tests put a recorder in its place.
using MessageBoxPrompter = std::function<int(QWidget* owner, const QString& text, const QString& title, unsigned type)>;

// A QMessageBox owned by the window, also while that window is hidden.
int ShowModalMessageBox(QWidget* owner, const QString& text, const QString& title, unsigned type);
