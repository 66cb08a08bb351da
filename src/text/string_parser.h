#pragma once

#include <string>
#include <string_view>
#include <vector>

// Splits a delimited line into fields. Separator and quote act only when they
// are exactly one character (a UTF-8 character counts as one); an empty or
// blank quote means no quoting. Quote characters inside a field stay; only a
// field's outer quotes are removed ("'x''y'" gives "x''y").
class TStringParser {
public:
    TStringParser() = default;
    TStringParser(std::string_view separator, std::string_view quote);

    void SetSeparator(std::string_view separator) { separator_ = std::string(separator); }
    void SetQuote(std::string_view quote); // trimmed of blanks
    const std::string& Separator() const { return separator_; }
    const std::string& Quote() const { return quote_; }

    // Fills Items(); a trailing empty field is not stored.
    void Parse(std::string_view line);
    const std::vector<std::string>& Items() const { return items_; }
    int Count() const { return static_cast<int>(items_.size()); }
    // Field n counted from 1; empty below 1 or beyond the last field.
    std::string Item(int n) const;

private:
    std::string separator_;
    std::string quote_;
    std::vector<std::string> items_;
};
