#pragma once

#include "search/search_engine.h"

#include <string>

// Saved searches: INI text with the one section "Search" and its keys in a
// fixed order. Dates are stored as ISO dates (YYYY-MM-DD); loading also takes
// the user's locale format. The volume criterion, the options other than
// "Match Case" and the replace texts are not part of a saved search.

inline constexpr const char* kSavedSearchExtension = "TXS";
inline constexpr const char* kSavedSearchFilter =
    "Catalog Search (*.TXS)|*.TXS|All Files (*.*)|*.*";

// The file's text (CR LF line ends).
std::string SavedSearchText(const TSearchCriteria& c);
// Written through the safe writer; EMessageError("errWrite") on failure.
void SaveSearch(const std::string& path, const TSearchCriteria& c);
// Each key present and readable replaces the criterion; the others stay.
// False when the text has no "Search" section with a key of its own.
bool ApplySavedSearchText(std::string_view text, TSearchCriteria& c);
// A byte-order mark is dropped and values are trimmed; a search with an
// Anywhere text runs in Anywhere mode. Errors of ReadTextFile when the file
// cannot be read, "errNotSavedSearch" (nothing changed) when it is not a
// saved search: an empty file or another kind of text would match everything.
void LoadSearch(const std::string& path, TSearchCriteria& c);
