#pragma once

#include <QStringList>

// The entries of both speed lists, in their fixed order; the first is the "not chosen" placeholder.
QStringList SpeedListItems();
