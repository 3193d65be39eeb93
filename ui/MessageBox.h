#pragma once

#include <QString>
#include <functional>

// Box types and answers with the values the operator's texts were written against.
enum MessageBoxType : unsigned
{
    MB_OK = 0x0,
    MB_YESNO = 0x4,
    MB_ICONSTOP = 0x10,
    MB_ICONQUESTION = 0x20,
    MB_ICONEXCLAMATION = 0x30,
    MB_ICONINFORMATION = 0x40,
    MB_DEFBUTTON2 = 0x100,
};

enum MessageBoxAnswer
{
    IDOK = 1,
    IDCANCEL = 2,
    IDYES = 6,
    IDNO = 7,
};

class QWidget;

// Shows one modal box and returns the answer; tests put a recorder in its place.
using MessageBoxPrompter = std::function<int(QWidget* owner, const QString& text, const QString& title, unsigned type)>;

// A QMessageBox owned by the window, also while that window is hidden.
int ShowModalMessageBox(QWidget* owner, const QString& text, const QString& title, unsigned type);

// Answers at once with the box's default button, for a program that runs with nobody there to read it.
int AnswerUnattended(QWidget* owner, const QString& text, const QString& title, unsigned type);
