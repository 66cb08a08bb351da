#include "settings/settings_store.h"

#include <charconv>
#include <set>

namespace {

const std::string* Find(const std::map<std::string, std::map<std::string, std::string>>& keys,
                        const std::string& key, const std::string& name) {
    auto k = keys.find(key);
    if (k == keys.end()) return nullptr;
    auto v = k->second.find(name);
    return v == k->second.end() ? nullptr : &v->second;
}

template <typename T> bool Parse(const std::string& s, T& out) {
    auto r = std::from_chars(s.data(), s.data() + s.size(), out);
    return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

std::string DoubleText(double v) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

} // namespace

bool TMemorySettingsStore::ReadBool(const std::string& key, const std::string& name,
                                    bool def) const {
    const std::string* v = Find(Keys, key, name);
    if (!v) return def;
    if (*v == "true" || *v == "1") return true;
    if (*v == "false" || *v == "0") return false;
    int64_t n;
    return Parse(*v, n) ? n != 0 : def;
}

int64_t TMemorySettingsStore::ReadInt(const std::string& key, const std::string& name,
                                      int64_t def) const {
    const std::string* v = Find(Keys, key, name);
    int64_t out;
    return v && Parse(*v, out) ? out : def;
}

double TMemorySettingsStore::ReadDouble(const std::string& key, const std::string& name,
                                        double def) const {
    const std::string* v = Find(Keys, key, name);
    double out;
    return v && Parse(*v, out) ? out : def;
}

std::string TMemorySettingsStore::ReadString(const std::string& key, const std::string& name,
                                             const std::string& def) const {
    const std::string* v = Find(Keys, key, name);
    return v ? *v : def;
}

double TMemorySettingsStore::ReadDateTime(const std::string& key, const std::string& name,
                                          double def) const {
    return ReadDouble(key, name, def);
}

void TMemorySettingsStore::WriteBool(const std::string& key, const std::string& name, bool v) {
    Keys[key][name] = v ? "true" : "false";
}
void TMemorySettingsStore::WriteInt(const std::string& key, const std::string& name, int64_t v) {
    Keys[key][name] = std::to_string(v);
}
void TMemorySettingsStore::WriteDouble(const std::string& key, const std::string& name, double v) {
    Keys[key][name] = DoubleText(v);
}
void TMemorySettingsStore::WriteString(const std::string& key, const std::string& name,
                                       const std::string& v) {
    Keys[key][name] = v;
}
void TMemorySettingsStore::WriteDateTime(const std::string& key, const std::string& name,
                                         double v) {
    WriteDouble(key, name, v);
}

bool TMemorySettingsStore::KeyExists(const std::string& key) const {
    if (Keys.count(key)) return true;
    std::string prefix = key + "\\";
    auto it = Keys.lower_bound(prefix);
    return it != Keys.end() && it->first.compare(0, prefix.size(), prefix) == 0;
}

bool TMemorySettingsStore::ValueExists(const std::string& key, const std::string& name) const {
    return Find(Keys, key, name) != nullptr;
}

void TMemorySettingsStore::DeleteKey(const std::string& key) {
    if (key.empty()) {
        Keys.clear();
        return;
    }
    Keys.erase(key);
    std::string prefix = key + "\\";
    auto it = Keys.lower_bound(prefix);
    while (it != Keys.end() && it->first.compare(0, prefix.size(), prefix) == 0)
        it = Keys.erase(it);
}

void TMemorySettingsStore::DeleteValue(const std::string& key, const std::string& name) {
    auto k = Keys.find(key);
    if (k != Keys.end()) k->second.erase(name);
}

std::vector<std::string> TMemorySettingsStore::SubKeys(const std::string& key) const {
    std::string prefix = key.empty() ? std::string() : key + "\\";
    std::set<std::string> names;
    for (auto it = Keys.lower_bound(prefix); it != Keys.end(); ++it) {
        if (it->first.compare(0, prefix.size(), prefix) != 0) break;
        std::string rest = it->first.substr(prefix.size());
        names.insert(rest.substr(0, rest.find('\\')));
    }
    return {names.begin(), names.end()};
}
