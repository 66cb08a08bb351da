#pragma once

#include "settings/settings_store.h"

#include <cstdint>
#include <string>
#include <string_view>

// Helpers on top of ISettingsStore shared by every part that keeps settings.

enum class TWindowState { Normal, Minimized, Maximized };

// Where a window or panel sits: its restored rectangle (in the parent's
// coordinates, the screen's for a top-level window) and its show state. A
// maximised window keeps the rectangle it had before it was maximised.
struct TPlacement {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Width = 0;
    int32_t Height = 0;
    TWindowState State = TWindowState::Normal;

    bool operator==(const TPlacement&) const = default;
};

// "Pos\" + the window's name; panels append "\" + the panel's name.
std::string PlacementKey(std::string_view windowName);

// Reads the ten placement values under `key`. False, with `out` unchanged,
// when any is missing or unreadable or the rectangle is empty or inverted.
bool LoadPlacement(const ISettingsStore& store, const std::string& key, TPlacement& out);
// Writes the ten placement values under `key`; nothing when the rectangle is
// empty or its far edges would not fit in 32 bits.
void SavePlacement(ISettingsStore& store, const std::string& key, const TPlacement& p);

// A 32-bit value; the default when it is missing or outside [min, max].
int32_t ReadInt32(const ISettingsStore& store, const std::string& key, const std::string& name,
                  int32_t def, int32_t min = INT32_MIN, int32_t max = INT32_MAX);

// Removes every key and value of the store, the root's own values included.
void DeleteAllSettings(ISettingsStore& store);
