#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Checks on gocatcli's TOML catalogs made before the text is parsed.
namespace tomltext {

// True when the first bytes are TOML whose first table is "[[storages]]"
// (or that starts with the catalog's own top-level keys before it).
bool LooksLikeCatalog(std::string_view head);

// How deeply `text` nests, counting each part of a dotted key, bracket and
// brace once (strings and comments skipped); the parsed tree is at most twice
// as deep. Stops counting once past `limit`.
size_t NestingDepth(std::string_view text, size_t limit);

// The text as the parser gets it: ASCII only, since the parser's Unicode
// tables fail on some characters. Past ASCII, a character in a string becomes
// its escape (a literal string becomes a basic one) and one in a comment "?";
// a leading byte order mark goes. Refused where the text is not UTF-8 or such
// a character stands where TOML allows none (outside strings and comments,
// right after a backslash).
struct TAsciiText {
    std::string Text;
    bool Ok = true;
    size_t Line = 0, Column = 0; // where it was refused, as the parser counts
    std::string Problem;

    // A column of Text (the parser's) as a column of the original line.
    size_t OriginalColumn(size_t line, size_t column) const;

    struct TShift {
        size_t Line, Column, Extra; // Extra more characters written at Column of Text
    };
    std::vector<TShift> Shifts; // in order of the text
};
TAsciiText ToAscii(std::string_view text);

} // namespace tomltext
