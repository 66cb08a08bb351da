#include "tags/tag_info.h"

#include "tags/tag_captions.h"
#include "text/string_list.h"

namespace {

template <typename F> void ForEachLine(std::string_view text, F&& f) {
    ForEachTextLine(text, [&](std::string_view line) {
        if (!line.empty()) f(line);
    });
}

} // namespace

bool TTagInfo::IsStoredForm(std::string_view t) {
    if (t.empty()) return true;
    if (t.size() < 2 || t.substr(t.size() - 2) != "\r\n" || t[0] == '\r' || t[0] == '\n')
        return false;
    for (size_t i = 0; i < t.size(); ++i) {
        if (t[i] == '\r' && (i + 1 >= t.size() || t[i + 1] != '\n')) return false;
        if (t[i] == '\n') {
            if (t[i - 1] != '\r') return false;
            if (i + 1 < t.size() && t[i + 1] == '\r') return false;
        }
    }
    return true;
}

void TTagInfo::SetValue(std::string_view key, const TTagValue& value) {
    std::string text = TagValueText(value);
    if (text.empty() || text == "0" || key.empty()) return;
    std::string out;
    std::string_view cur = text_.view();
    bool replaced = false;
    ForEachLine(cur, [&](std::string_view line) {
        if (!replaced && SameText(TagLineName(line), key)) {
            out.append(TagLineName(line));
            out += '=';
            out += text;
            replaced = true;
        } else {
            out.append(line);
        }
        out += "\r\n";
    });
    if (!replaced) {
        out.append(key);
        out += '=';
        out += text;
        out += "\r\n";
    }
    text_ = out;
    if (addToGlobalsTags_ && sharedTagNames_ && sharedTagNames_->IndexOfName(key) < 0) {
        try {
            sharedTagNames_->Add(std::string(key) + "=" + std::string(key));
        } catch (...) {
            // A rejected duplicate in the shared list is harmless here.
        }
    }
}

std::vector<std::string> TTagInfo::Values() const {
    std::vector<std::string> out;
    ForEachLine(text_.view(), [&](std::string_view l) { out.emplace_back(l); });
    return out;
}

void TTagInfo::SetValues(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& l : lines) {
        if (l.empty()) continue;
        out += TagLineText(l);
        out += "\r\n";
    }
    text_ = out;
}

void TTagInfo::SetText(std::string_view text) {
    // Fast path: text already in the stored form (what the catalog file holds).
    if (IsStoredForm(text)) {
        text_ = text;
        return;
    }
    std::string out;
    ForEachLine(text, [&](std::string_view l) {
        out.append(l);
        out += "\r\n";
    });
    text_ = out;
}

int TTagInfo::Count() const {
    int n = 0;
    ForEachLine(text_.view(), [&](std::string_view) { ++n; });
    return n;
}

std::string TTagInfo::Value(std::string_view key) const {
    std::string result;
    bool found = false;
    ForEachLine(text_.view(), [&](std::string_view l) {
        if (!found && SameText(TagLineName(l), key)) {
            result = std::string(TagLineValue(l));
            found = true;
        }
    });
    return result;
}

void CommonValues(const std::vector<std::string>& fileValues, std::vector<std::string>& merged) {
    if (merged.empty()) {
        merged = fileValues;
        return;
    }
    std::vector<std::string> kept;
    for (const auto& m : merged) {
        std::string_view name = TagLineName(m);
        for (const auto& f : fileValues) {
            if (SameText(TagLineName(f), name)) {
                if (TagLineValue(f) == TagLineValue(m)) kept.push_back(m);
                break;
            }
        }
    }
    merged.swap(kept);
}

void StoreValues(const std::vector<std::string>& edited, TTagInfo& fileValues) {
    std::vector<std::string> lines = fileValues.Values();
    for (const auto& e : edited) {
        std::string_view name = TagLineName(e), value = TagLineValue(e);
        if (name.empty() || value.empty() || value == "0") continue;
        bool found = false;
        for (auto& l : lines) {
            if (SameText(TagLineName(l), name)) {
                l = std::string(TagLineName(l)) + "=" + std::string(value);
                found = true;
                break;
            }
        }
        if (!found) lines.push_back(std::string(name) + "=" + std::string(value));
    }
    fileValues.SetValues(lines);
}

void ToCaptions(const std::vector<std::string>& source, std::vector<std::string>& out,
                const TStringList& tagList) {
    out.clear();
    for (const auto& l : source) {
        std::string_view name = TagLineName(l);
        int i = tagList.IndexOfName(name);
        std::string caption = i >= 0 ? tagList.ValueFromIndex(i) : std::string();
        // A key the user never gave a caption shows under its readable name.
        if (caption.empty() || caption == name)
            if (std::string readable = ReadableTagName(name); !readable.empty()) caption = readable;
        // A key without a caption shows under its own name, so it can come back.
        if (caption.empty()) caption = std::string(name);
        out.push_back(caption + "=" + std::string(TagLineValue(l)));
    }
}

void FromCaptions(const std::vector<std::string>& edited, std::vector<std::string>& out,
                  const TStringList& tagList) {
    out.clear();
    std::vector<std::string> reverse;
    SwapNamesAndValues(tagList.Lines(), reverse);
    for (const auto& l : edited) {
        std::string_view caption = TagLineName(l);
        std::string key;
        for (const auto& r : reverse) {
            if (SameText(TagLineName(r), caption)) {
                key = std::string(TagLineValue(r));
                break;
            }
        }
        if (key.empty()) key = KeyOfReadableTagName(caption);
        if (key.empty()) key = std::string(caption);
        if (key.empty()) continue; // never store a line without a key
        out.push_back(key + "=" + std::string(TagLineValue(l)));
    }
}

void CaptionsOnly(const std::vector<std::string>& source, std::vector<std::string>& out) {
    out.clear();
    for (const auto& l : source)
        out.emplace_back(TagLineValue(l));
}

void SwapNamesAndValues(const std::vector<std::string>& source, std::vector<std::string>& out) {
    out.clear();
    for (const auto& l : source)
        out.push_back(std::string(TagLineValue(l)) + "=" + std::string(TagLineName(l)));
}

std::string_view TagLineName(std::string_view line) {
    auto eq = line.find('=');
    return eq == std::string_view::npos ? line : line.substr(0, eq);
}

std::string_view TagLineValue(std::string_view line) {
    auto eq = line.find('=');
    return eq == std::string_view::npos ? std::string_view() : line.substr(eq + 1);
}
