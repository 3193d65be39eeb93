#pragma once

#include "ui/MessageBox.h"

#include <QList>
#include <QString>

struct RecordedBox
{
    QString text;
    QString title;
    unsigned type;
};

// Stands in for every modal box: records it and answers at once, so no test waits on a window.
// Queued answers are given in order; without one a Yes/No box is answered No, the safe default.
class BoxRecorder
{
public:
    MessageBoxPrompter Prompter()
    {
        return [this](QWidget*, const QString& text, const QString& title, unsigned type) {
            Boxes.append({text, title, type});
            if (!Answers.isEmpty())
                return Answers.takeFirst();
            return (type & 0xF) == MB_YESNO ? int(IDNO) : int(IDOK);
        };
    }

    QStringList Texts() const
    {
        QStringList texts;
        for (const RecordedBox& box : Boxes)
            texts.append(box.text);
        return texts;
    }

    QList<RecordedBox> Boxes;
    QList<int> Answers;
};
