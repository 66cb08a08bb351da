#include "settings/settings_helpers.h"

#include <limits>

namespace {

// Show states as the stored placements have always had them.
constexpr int64_t kShowNormal = 1;
constexpr int64_t kShowMinimized = 2;
constexpr int64_t kShowMaximized = 3;

constexpr int64_t kMissing = std::numeric_limits<int64_t>::min();

} // namespace

std::string PlacementKey(std::string_view windowName) {
    return "Pos\\" + std::string(windowName);
}

bool LoadPlacement(const ISettingsStore& store, const std::string& key, TPlacement& out) {
    static const char* const kNames[] = {
        "Flags",   "ShowCmd",     "MinPosX",    "MinPosY",      "MaxPosX",
        "MaxPosY", "NormPosLeft", "NormPosTop", "NormPosRight", "NormPosBottom"};
    int64_t v[10];
    for (int i = 0; i < 10; ++i) {
        v[i] = store.ReadInt(key, kNames[i], kMissing);
        if (v[i] == kMissing) return false;
    }
    int64_t left = v[6], top = v[7], right = v[8], bottom = v[9];
    auto fits = [](int64_t x) {
        return x >= std::numeric_limits<int32_t>::min() && x <= std::numeric_limits<int32_t>::max();
    };
    // An inverted or empty rectangle would give a window nobody can see or grab.
    if (!fits(left) || !fits(top) || !fits(right) || !fits(bottom)) return false;
    if (right <= left || bottom <= top) return false;
    if (!fits(right - left) || !fits(bottom - top)) return false;
    TPlacement p;
    p.Left = static_cast<int32_t>(left);
    p.Top = static_cast<int32_t>(top);
    p.Width = static_cast<int32_t>(right - left);
    p.Height = static_cast<int32_t>(bottom - top);
    p.State = v[1] == kShowMaximized   ? TWindowState::Maximized
              : v[1] == kShowMinimized ? TWindowState::Minimized
                                       : TWindowState::Normal;
    out = p;
    return true;
}

void SavePlacement(ISettingsStore& store, const std::string& key, const TPlacement& p) {
    int64_t right = static_cast<int64_t>(p.Left) + p.Width;
    int64_t bottom = static_cast<int64_t>(p.Top) + p.Height;
    if (p.Width <= 0 || p.Height <= 0 || right > std::numeric_limits<int32_t>::max() ||
        bottom > std::numeric_limits<int32_t>::max())
        return;
    int64_t show = p.State == TWindowState::Maximized   ? kShowMaximized
                   : p.State == TWindowState::Minimized ? kShowMinimized
                                                        : kShowNormal;
    store.WriteInt(key, "Flags", 0);
    store.WriteInt(key, "ShowCmd", show);
    store.WriteInt(key, "MinPosX", -1);
    store.WriteInt(key, "MinPosY", -1);
    store.WriteInt(key, "MaxPosX", -1);
    store.WriteInt(key, "MaxPosY", -1);
    store.WriteInt(key, "NormPosLeft", p.Left);
    store.WriteInt(key, "NormPosTop", p.Top);
    store.WriteInt(key, "NormPosRight", right);
    store.WriteInt(key, "NormPosBottom", bottom);
}

int32_t ReadInt32(const ISettingsStore& store, const std::string& key, const std::string& name,
                  int32_t def, int32_t min, int32_t max) {
    int64_t v = store.ReadInt(key, name, def);
    return v < min || v > max ? def : static_cast<int32_t>(v);
}

void DeleteAllSettings(ISettingsStore& store) {
    for (const std::string& sub : store.SubKeys(""))
        store.DeleteKey(sub);
    // The root's own values ("Version"): a store may keep them apart from its keys.
    store.DeleteKey("");
}
