#pragma once

#include "media/media_module_api.h"
#include "tags/tag_value.h"

#include <exception>
#include <string>

// What both reader modules do around their reader: lines in the catalog's text
// form, and no exception crossing into the program, which may be built otherwise.
class TModuleLines {
public:
    TModuleLines(TamblixTagLineFn line, void* context) : line_(line), context_(context) {}

    void Add(const char* key, const TTagValue& value) {
        line_(context_, key, TagValueText(value).c_str());
    }
    void Refuse(const std::string& why) { line_(context_, nullptr, why.c_str()); }

    // read(*this) returns whether the file was read, having refused it otherwise.
    template <typename F> int Guard(const char* refused, F&& read) {
        try {
            return read(*this) ? 1 : 0;
        } catch (const std::exception& e) {
            Refuse(e.what());
        } catch (...) {
            Refuse(refused);
        }
        return 0;
    }

private:
    TamblixTagLineFn line_;
    void* context_;
};
