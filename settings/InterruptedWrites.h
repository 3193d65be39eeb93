#pragma once

#include <QString>

// What a write cut short (a kill -9, a power loss) leaves beside the settings file: a lock whose owner
// is gone or that is empty, and temporary copies. Cleared before the settings are first opened, so that
// start-up never waits for such a lock to age; a lock that a live process holds is left alone.
void ClearInterruptedWrites(const QString& settingsPath);
