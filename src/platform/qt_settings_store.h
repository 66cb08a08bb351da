#pragma once

#include "settings/settings_store.h"

#include <memory>
#include <string>

// The programs' settings store: `file` when given (--settings, TAMBLIX_SETTINGS),
// otherwise the user's configuration.
std::unique_ptr<ISettingsStore> CreateSettingsStore(const std::string& file);
