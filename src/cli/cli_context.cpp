#include "cli/cli_context.h"

#include "analysis/name_text.h"
#include "platform/qt_settings_store.h"

#include <algorithm>
#include <stdexcept>

ISettingsStore& TCliContext::Settings() {
    if (!settings_) settings_ = CreateSettingsStore(SettingsFile);
    return *settings_;
}

void TCliContext::CheckDeclared(const std::string& name, bool valued) const {
    if (!Command) return;
    const TOptionDef* o = Command->FindOption(name);
    if (!o)
        throw std::logic_error(std::string(Command->Name) + ": option " + name +
                               " is not in the table");
    bool hasValue = o->Kind == TOptionKind::Value || o->Kind == TOptionKind::Repeated;
    if (hasValue != valued)
        throw std::logic_error(std::string(Command->Name) + ": option " + name + " is taken as " +
                               (valued ? "a value option" : "a flag") + " against its table");
}

bool TCliContext::TakeFlag(const std::string& name) {
    CheckDeclared(name, false);
    auto it = std::find(Args.begin(), Args.end(), name);
    if (it == Args.end()) return false;
    Args.erase(it);
    return true;
}

void TCliContext::TakeSwitch(const std::string& name, bool& value) {
    CheckDeclared(name, false);
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
    CheckDeclared(name, true);
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
    if (Command) {
        size_t required = 0, most = 0;
        for (const auto& a : Command->Arguments) {
            required += a.Optional ? 0 : 1;
            most = a.Repeated || most == SIZE_MAX ? SIZE_MAX : most + 1;
        }
        if (required != min || most != max)
            throw std::logic_error(std::string(Command->Name) +
                                   ": positional arguments differ from the table");
    }
    for (const auto& a : Args) {
        if (a.size() < 2 || a[0] != '-' || a[1] != '-') continue;
        std::string message = "unknown option " + a;
        if (Command) {
            std::string near = NearestName(a.substr(0, a.find('=')), Command->Spellings());
            if (!near.empty()) message += "; did you mean " + near + "?";
        }
        throw EUsageError(message);
    }
    if (Args.size() < min) throw EUsageError("missing argument");
    if (Args.size() > max) throw EUsageError("unexpected argument " + Args[max]);
    return Args;
}

std::string CliField(std::string_view text) {
    return nametext::ShownCaption(text);
}
