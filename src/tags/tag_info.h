#pragma once

#include "memory/compact_string.h"
#include "tags/tag_value.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TStringList;

// An entry's tag lines name=value in insertion order. Held as one block of text
// (each line followed by CR LF, as the catalog file stores it) because millions
// of entries carry one and most carry none.
class TTagInfo {
public:
    TTagInfo() = default;

    // Where new key names are registered, and whether they are; shared by every entry.
    static void SetSharedTagNames(TStringList* list) { sharedTagNames_ = list; }
    static TStringList* SharedTagNames() { return sharedTagNames_; }
    static void SetAddToGlobalsTags(bool on) { addToGlobalsTags_ = on; }
    static bool AddToGlobalsTags() { return addToGlobalsTags_; }

    // Stores key=text unless the text is empty or "0"; an existing line (name
    // matched ignoring case) keeps its place and takes the new value.
    void SetValue(std::string_view key, const TTagValue& value);

    std::vector<std::string> Values() const; // the lines, in order
    void SetValues(const std::vector<std::string>& lines);
    std::string Text() const { return text_.str(); } // each line followed by CR LF
    std::string_view TextView() const { return text_.view(); }
    void SetText(std::string_view text); // lines split at CR, LF or CR LF; empty lines dropped
    // True when SetText keeps `text` as it is: lines each followed by CR LF,
    // none empty, no lone CR or LF.
    static bool IsStoredForm(std::string_view text);
    bool Empty() const { return text_.empty(); }
    int Count() const;
    std::string Value(std::string_view key) const; // empty when absent
    void Clear() { text_ = TCompactString(); }

private:
    TCompactString text_;
    static inline TStringList* sharedTagNames_ = nullptr;
    static inline bool addToGlobalsTags_ = true;
};

// The two halves of a tag line name=value: a line without "=" is all name.
std::string_view TagLineName(std::string_view line);
std::string_view TagLineValue(std::string_view line);

// List operations between stored key names and the captions users see.
void CommonValues(const std::vector<std::string>& fileValues, std::vector<std::string>& merged);
void StoreValues(const std::vector<std::string>& edited, TTagInfo& fileValues);
void ToCaptions(const std::vector<std::string>& source, std::vector<std::string>& out,
                const TStringList& tagList);
void FromCaptions(const std::vector<std::string>& edited, std::vector<std::string>& out,
                  const TStringList& tagList);
void CaptionsOnly(const std::vector<std::string>& source, std::vector<std::string>& out);
void SwapNamesAndValues(const std::vector<std::string>& source, std::vector<std::string>& out);
