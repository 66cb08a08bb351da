#include "text/string_list.h"

#include "text/message_error.h"

#include <algorithm>

namespace {
inline unsigned char Fold(unsigned char c) {
    return (c >= 'a' && c <= 'z') ? c - 32 : c;
}
} // namespace

int CompareText(std::string_view a, std::string_view b) {
    size_t n = std::min(a.size(), b.size());
    const char* p = a.data();
    const char* q = b.data();
    for (size_t i = 0; i < n; ++i) {
        if (p[i] == q[i]) continue; // the common case needs no folding
        unsigned char x = Fold(static_cast<unsigned char>(p[i]));
        unsigned char y = Fold(static_cast<unsigned char>(q[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool SameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && CompareText(a, b) == 0;
}

int TStringList::Add(std::string_view s) {
    if (!Sorted) {
        if (Duplicates != TDuplicates::Accept && IndexOf(s) >= 0) {
            if (Duplicates == TDuplicates::Error)
                throw EMessageError("errDuplicate", std::string(s));
            return -1;
        }
        lines_.emplace_back(s);
        return Count() - 1;
    }
    auto it = std::lower_bound(
        lines_.begin(), lines_.end(), s,
        [](const std::string& a, std::string_view b) { return CompareText(a, b) < 0; });
    if (it != lines_.end() && CompareText(*it, s) == 0 && Duplicates != TDuplicates::Accept) {
        if (Duplicates == TDuplicates::Error) throw EMessageError("errDuplicate", std::string(s));
        return -1;
    }
    auto pos = lines_.insert(it, std::string(s));
    return static_cast<int>(pos - lines_.begin());
}

void TStringList::Insert(int index, std::string_view s) {
    index = std::clamp(index, 0, Count());
    lines_.insert(lines_.begin() + index, std::string(s));
}

void TStringList::Delete(int index) {
    if (index >= 0 && index < Count()) lines_.erase(lines_.begin() + index);
}

int TStringList::IndexOf(std::string_view s) const {
    if (Sorted) {
        auto it = std::lower_bound(
            lines_.begin(), lines_.end(), s,
            [](const std::string& a, std::string_view b) { return CompareText(a, b) < 0; });
        if (it != lines_.end() && CompareText(*it, s) == 0)
            return static_cast<int>(it - lines_.begin());
        return -1;
    }
    for (size_t i = 0; i < lines_.size(); ++i)
        if (SameText(lines_[i], s)) return static_cast<int>(i);
    return -1;
}

int TStringList::IndexOfName(std::string_view name) const {
    for (size_t i = 0; i < lines_.size(); ++i) {
        const std::string& l = lines_[i];
        auto eq = l.find('=');
        if (eq != std::string::npos && SameText(std::string_view(l).substr(0, eq), name))
            return static_cast<int>(i);
    }
    return -1;
}

std::string TStringList::Name(int i) const {
    const std::string& l = (*this)[i];
    auto eq = l.find('=');
    return eq == std::string::npos ? l : l.substr(0, eq);
}

std::string TStringList::ValueFromIndex(int i) const {
    const std::string& l = (*this)[i];
    auto eq = l.find('=');
    return eq == std::string::npos ? std::string() : l.substr(eq + 1);
}

std::string TStringList::Value(std::string_view name) const {
    int i = IndexOfName(name);
    return i < 0 ? std::string() : ValueFromIndex(i);
}

void TStringList::SetValue(std::string_view name, std::string_view value) {
    int i = IndexOfName(name);
    std::string line = std::string(name) + "=" + std::string(value);
    if (i < 0)
        Add(line);
    else
        lines_[static_cast<size_t>(i)] = line;
}

std::string TStringList::Text() const {
    std::string out;
    for (const auto& l : lines_) {
        out += l;
        out += "\r\n";
    }
    return out;
}

void TStringList::SetText(std::string_view text) {
    lines_.clear();
    ForEachTextLine(text, [&](std::string_view line) {
        if (Sorted)
            Add(line);
        else
            lines_.emplace_back(line);
    });
}

void TStringList::Sort() {
    std::stable_sort(lines_.begin(), lines_.end(), [](const std::string& a, const std::string& b) {
        return CompareText(a, b) < 0;
    });
}
