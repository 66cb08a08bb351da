#pragma once

#include "settings/settings_store.h"

#include <memory>
#include <string>

// The programs' settings store: `file` when given (--settings, TAMBLIX_SETTINGS),
// otherwise the user's configuration. Reading throws what OpenInputFile
// throws for a FIFO, a folder or a socket (a missing file or a character
// device such as /dev/null gives no settings); Sync saves through the safe
// writer and throws its errors, so that a save that failed is never silent.
std::unique_ptr<ISettingsStore> CreateSettingsStore(const std::string& file);
