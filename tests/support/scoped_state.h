#pragma once

#include "tags/tag_info.h"

#include <clocale>
#include <cstdlib>
#include <optional>
#include <string>

// Process-wide state a test changes, put back when the guard ends, also when
// an assertion leaves the test early.
//   TScopedLocale c(LC_TIME, "C");
//   TScopedEnv home("XDG_CONFIG_HOME", "/x/cfg");
//   TScopedTagNames names;   // the shared tag-name list and its switch

// The C library's locale of one category.
class TScopedLocale {
public:
    TScopedLocale(int category, const char* locale) : category_(category) {
        const char* was = std::setlocale(category, nullptr);
        saved_ = was ? was : "C";
        Ok = std::setlocale(category, locale) != nullptr;
    }
    ~TScopedLocale() { std::setlocale(category_, saved_.c_str()); }
    TScopedLocale(const TScopedLocale&) = delete;
    TScopedLocale& operator=(const TScopedLocale&) = delete;

    // Switches again inside the same guard; false when the locale is missing.
    bool Set(const char* locale) { return std::setlocale(category_, locale) != nullptr; }

    bool Ok = false; // the locale exists and is set

private:
    int category_;
    std::string saved_;
};

// One environment variable; a null value removes it.
class TScopedEnv {
public:
    TScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* was = std::getenv(name)) saved_ = was;
        Set(value);
    }
    ~TScopedEnv() { Set(saved_ ? saved_->c_str() : nullptr); }
    TScopedEnv(const TScopedEnv&) = delete;
    TScopedEnv& operator=(const TScopedEnv&) = delete;

    void Set(const char* value) {
        if (value)
            ::setenv(name_.c_str(), value, 1);
        else
            ::unsetenv(name_.c_str());
    }

private:
    std::string name_;
    std::optional<std::string> saved_;
};

// The tag-name list every TTagInfo registers new keys in, and its switch.
class TScopedTagNames {
public:
    TScopedTagNames()
        : savedNames_(TTagInfo::SharedTagNames()), savedOn_(TTagInfo::AddToGlobalsTags()) {}
    ~TScopedTagNames() {
        TTagInfo::SetSharedTagNames(savedNames_);
        TTagInfo::SetAddToGlobalsTags(savedOn_);
    }
    TScopedTagNames(const TScopedTagNames&) = delete;
    TScopedTagNames& operator=(const TScopedTagNames&) = delete;

private:
    TStringList* savedNames_;
    bool savedOn_;
};
