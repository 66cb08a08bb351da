#pragma once

#include <string>
#include <string_view>
#include <vector>

enum class TDuplicates { Ignore, Error, Accept };

// A list of text lines, optionally kept sorted case-insensitively, with the
// name=value helpers the lists of the program use (tag names, favorites, ...).
class TStringList {
public:
    TStringList() = default;
    TStringList(bool sorted, TDuplicates dups) : Sorted(sorted), Duplicates(dups) {}

    bool Sorted = false;
    TDuplicates Duplicates = TDuplicates::Accept;

    // Adds a line; returns its index, or -1 when a duplicate was ignored.
    // Throws EMessageError("errDuplicate") for a duplicate when Duplicates is Error.
    int Add(std::string_view s);
    void Insert(int index, std::string_view s);
    void Delete(int index);
    void Clear() { lines_.clear(); }
    int Count() const { return static_cast<int>(lines_.size()); }
    const std::string& operator[](int i) const { return lines_[static_cast<size_t>(i)]; }
    void Set(int i, std::string_view s) { lines_[static_cast<size_t>(i)] = std::string(s); }
    const std::vector<std::string>& Lines() const { return lines_; }

    // Exact index of a line (case-insensitive, as the lists compare); -1 if absent.
    int IndexOf(std::string_view s) const;
    // Index of the first line whose name (text before "=") matches, ignoring case.
    int IndexOfName(std::string_view name) const;
    std::string Name(int i) const;
    std::string ValueFromIndex(int i) const;
    std::string Value(std::string_view name) const;
    void SetValue(std::string_view name, std::string_view value);

    // Lines joined with CR LF after each; SetText splits at CR, LF or CR LF.
    std::string Text() const;
    void SetText(std::string_view text);
    void Sort();

    // Whole-file load and save; Save writes a new file and renames it over the old.

private:
    std::vector<std::string> lines_;
};

// Calls f(line) for each line of text, lines ending at CR, LF or CR LF.
template <typename F> void ForEachTextLine(std::string_view text, F&& f) {
    size_t i = 0;
    while (i < text.size()) {
        size_t j = i;
        while (j < text.size() && text[j] != '\r' && text[j] != '\n')
            ++j;
        std::string_view line = text.substr(i, j - i);
        if (j < text.size() && text[j] == '\r' && j + 1 < text.size() && text[j + 1] == '\n') ++j;
        i = j + 1;
        f(line);
    }
}

// Case-insensitive (ASCII) three-way compare used for every list and sibling order.
int CompareText(std::string_view a, std::string_view b);
bool SameText(std::string_view a, std::string_view b);
