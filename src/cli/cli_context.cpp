#include "cli/cli_context.h"

#include "platform/qt_settings_store.h"
#include "text/message_error.h"
#include "text/name_text.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <stdexcept>

ISettingsStore& TCliContext::Settings() {
    if (!settings_) settings_ = CreateSettingsStore(SettingsFile);
    return *settings_;
}

void TCliContext::SyncSettings() {
    if (settings_) settings_->Sync();
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

const std::vector<TShortOption>& ShortOptions() {
    static const std::vector<TShortOption> all = {{"-0", "--null"}, {"-o", "--output"}};
    return all;
}

namespace {

bool IsValueOption(const TOptionDef* o) {
    return o && (o->Kind == TOptionKind::Value || o->Kind == TOptionKind::Repeated);
}

bool IsOptionWord(const std::string& w) {
    return w.size() > 1 && w[0] == '-';
}

} // namespace

void TCliContext::SplitOperands() {
    for (size_t i = 0; i < Args.size(); ++i) {
        if (Args[i] == "--") {
            // "--name --" searches for "--".
            if (i > 0 && Command && IsValueOption(Command->FindOption(Args[i - 1]))) continue;
            operands_.insert(operands_.begin(), Args.begin() + static_cast<long>(i) + 1,
                             Args.end());
            Args.resize(i);
            break;
        }
        if (!Command) continue;
        for (const auto& s : ShortOptions())
            if (Args[i] == s.Short && Command->FindOption(s.Long)) Args[i] = s.Long;
    }
}

void TCliContext::RefuseRepeat(const std::string& name) const {
    for (const auto& a : Args)
        if (a == name || a.rfind(name + "=", 0) == 0)
            throw EUsageError("option " + name + " is repeated");
}

bool TCliContext::TakeFlag(const std::string& name) {
    CheckDeclared(name, false);
    SplitOperands();
    auto it = std::find(Args.begin(), Args.end(), name);
    if (it == Args.end()) return false;
    Args.erase(it);
    RefuseRepeat(name);
    return true;
}

void TCliContext::TakeSwitch(const std::string& name, bool& value) {
    CheckDeclared(name, false);
    SplitOperands();
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
    SplitOperands();
    bool taken = false;
    for (size_t i = 0; i < Args.size() && !taken; ++i) {
        if (Args[i] == name) {
            if (i + 1 >= Args.size()) throw EUsageError(name + " needs a value");
            value = Args[i + 1];
            Args.erase(Args.begin() + static_cast<long>(i),
                       Args.begin() + static_cast<long>(i) + 2);
            taken = true;
        } else if (Args[i].rfind(name + "=", 0) == 0) {
            value = Args[i].substr(name.size() + 1);
            Args.erase(Args.begin() + static_cast<long>(i));
            taken = true;
        }
    }
    if (taken && Command && Command->FindOption(name)->Kind != TOptionKind::Repeated)
        RefuseRepeat(name);
    return taken;
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
    SplitOperands();
    for (const auto& a : Args) {
        if (!IsOptionWord(a)) continue;
        const std::string name = a.substr(0, a.find('='));
        const TOptionDef* o = Command ? Command->FindOption(name) : nullptr;
        if (o && name != a && !IsValueOption(o))
            throw EUsageError("option " + name + " takes no value");
        std::string message = "unknown option " + a;
        if (Command) {
            std::string near = NearestName(name, Command->Spellings());
            if (!near.empty()) message += "; did you mean " + near + "?";
        }
        if (a.rfind("--", 0) != 0) message += " (a name that starts with '-' goes after '--')";
        throw EUsageError(message);
    }
    std::vector<std::string> all = Args;
    all.insert(all.end(), operands_.begin(), operands_.end());
    if (all.size() < min) throw EUsageError("missing argument");
    if (all.size() > max) throw EUsageError("unexpected argument " + all[max]);
    return all;
}

void TCliContext::TakeLockWait() {
    std::string text;
    if (!TakeOption("--wait", text)) return;
    char* end = nullptr;
    errno = 0;
    double seconds = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || errno != 0 || !(seconds >= 0) || seconds > 86400)
        throw EUsageError("--wait takes a number of seconds from 0 to 86400, not " + text);
    lockWaitMs_ = static_cast<int>(seconds * 1000);
}

void TCliContext::LockCatalogForWriting(const std::string& path) {
    try {
        lock_ = TCatalogLock::Acquire(path, lockWaitMs_);
    } catch (const EMessageError& e) {
        if (e.Key != "errCatalogLocked") throw;
        throw std::runtime_error(ErrorText(e) + " --wait SECONDS waits longer.");
    }
}

std::vector<TOptionDef> WithWait(std::vector<TOptionDef> options) {
    options.push_back(kWaitOption);
    return options;
}

std::string CliField(std::string_view text) {
    return nametext::ShownCaption(text);
}
