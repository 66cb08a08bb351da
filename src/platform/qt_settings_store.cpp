#include "platform/qt_settings_store.h"

std::unique_ptr<ISettingsStore> CreateSettingsStore(const std::string&) {
    return std::make_unique<TMemorySettingsStore>();
}
