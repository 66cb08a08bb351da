#include "cli/cli_context.h"

#include "analysis/name_text.h"

#include "platform/qt_settings_store.h"

#include <algorithm>

ISettingsStore& TCliContext::Settings() {
    if (!settings_) settings_ = CreateSettingsStore(SettingsFile);
    return *settings_;
}

bool TCliContext::TakeFlag(const std::string& name) {
    auto it = std::find(Args.begin(), Args.end(), name);
    if (it == Args.end()) return false;
    Args.erase(it);
    return true;
}

void TCliContext::TakeSwitch(const std::string& name, bool& value) {
    const std::string negative = "--no-" + name.substr(2);
    for (size_t i = 0; i < Args.size();) {
        if (Args[i] == name || Args[i] == negative) {
            value = Args[i] == name;
            Args.erase(Args.begin() + static_cast<long>(i));
        } else {
            ++i;
        }
    }
}

bool TCliContext::TakeOption(const std::string& name, std::string& value) {
    for (size_t i = 0; i < Args.size(); ++i) {
        if (Args[i] == name) {
            if (i + 1 >= Args.size()) throw EUsageError(name + " needs a value");
            value = Args[i + 1];
            Args.erase(Args.begin() + static_cast<long>(i),
                       Args.begin() + static_cast<long>(i) + 2);
            return true;
        }
        if (Args[i].rfind(name + "=", 0) == 0) {
            value = Args[i].substr(name.size() + 1);
            Args.erase(Args.begin() + static_cast<long>(i));
            return true;
        }
    }
    return false;
}

std::vector<std::string> TCliContext::TakeOptionAll(const std::string& name) {
    std::vector<std::string> out;
    std::string v;
    while (TakeOption(name, v))
        out.push_back(v);
    return out;
}

std::vector<std::string> TCliContext::Positionals(size_t min, size_t max) {
    for (const auto& a : Args)
        if (a.size() > 1 && a[0] == '-' && a[1] == '-') throw EUsageError("unknown option " + a);
    if (Args.size() < min) throw EUsageError("missing argument");
    if (Args.size() > max) throw EUsageError("unexpected argument " + Args[max]);
    return Args;
}

std::string CliField(std::string_view text) {
    return nametext::ShownCaption(text);
}
