#pragma once

#include <cstddef>
#include <string_view>

// Checks on gocatcli's TOML catalogs made before the text is parsed.
namespace tomltext {

// True when the first bytes are TOML whose first table is "[[storages]]"
// (or that starts with the catalog's own top-level keys before it).
bool LooksLikeCatalog(std::string_view head);

// How deeply `text` nests, counting each part of a dotted key, bracket and
// brace once (strings and comments skipped); the parsed tree is at most twice
// as deep. Stops counting once past `limit`.
size_t NestingDepth(std::string_view text, size_t limit);

} // namespace tomltext
