#pragma once

#include "relay/Boxes.h"

#include <QString>
#include <functional>

class QWidget;

// Shows one modal box and returns the answer; tests put a recorder in its place.
using MessageBoxPrompter = std::function<int(QWidget* owner, const QString& text, const QString& title, unsigned type)>;

// A QMessageBox owned by the window, also while that window is hidden.
int ShowModalMessageBox(QWidget* owner, const QString& text, const QString& title, unsigned type);

// Answers at once with the box's default button, for a program that runs with nobody there to read it.
int AnswerUnattended(QWidget* owner, const QString& text, const QString& title, unsigned type);
