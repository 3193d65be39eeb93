#pragma once

#include <QStringList>

// Names the relay does not read, each with what was perhaps meant: a misspelt key is otherwise a
// setting silently missing. "InComname is no setting of [Settaggi]: did you mean InComName?"
QStringList UnknownSettings();
