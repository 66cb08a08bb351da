#include "text/string_parser.h"

#include "text/text_utils.h"

TStringParser::TStringParser(std::string_view separator, std::string_view quote)
    : separator_(separator) {
    SetQuote(quote);
}

void TStringParser::SetQuote(std::string_view quote) {
    quote_ = TrimBlanks(quote);
}

void TStringParser::Parse(std::string_view line) {
    items_.clear();
    const bool splits = IsOneCharacter(separator_);
    const bool quotes = IsOneCharacter(quote_);
    std::string current;
    bool inside = false;
    size_t i = 0;
    while (i < line.size()) {
        std::string_view rest = line.substr(i);
        bool isQuote = quotes && rest.substr(0, quote_.size()) == quote_;
        if (isQuote) inside = !inside;
        if (splits && !inside && rest.substr(0, separator_.size()) == separator_) {
            items_.push_back(quotes ? Unenclose(current, quote_) : current);
            current.clear();
            i += separator_.size();
            continue;
        }
        if (isQuote) {
            current += quote_;
            i += quote_.size();
            continue;
        }
        current += line[i];
        ++i;
    }
    if (!current.empty()) items_.push_back(quotes ? Unenclose(current, quote_) : current);
}

std::string TStringParser::Item(int n) const {
    if (n < 1 || n > Count()) return {};
    return items_[static_cast<size_t>(n - 1)];
}
