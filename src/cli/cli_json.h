#pragma once

#include <nlohmann/json.hpp>
#include <string>

class TLibFolder;
class TLibFolderItem;
class TTreeNode;

// Machine-readable output (--json). Long listings are JSON Lines, one object
// per row, so that a script reads them as they come and no listing has to be
// held whole; short answers are one document. Names and paths are display
// text (a byte that is not UTF-8 as U+FFFD); where that differs from their
// written form (cli_path.h), KEY is followed by KEYArg with the written form,
// which a script passes back. Dates are ISO 8601 in UTC ("...T06:31:42Z").
using TJson = nlohmann::ordered_json;

// j[key] = the display text, and j[key + "Arg"] = written when they differ.
void PutPath(TJson& j, const std::string& key, const std::string& display,
             const std::string& written);
// A catalog time for JSON: "2026-12-10T06:31:42Z", or "" when unknown.
std::string JsonDate(double dateTime);

// One line of JSON Lines on stdout.
void PrintJsonLine(const TJson& row);
// The same line as text, without its line end.
std::string JsonLineText(const TJson& row);

// A volume, folder or archive folder of the catalog tree.
TJson FolderJson(const TLibFolder* folder);
// An entry of a folder's list, its tag lines included.
TJson EntryJson(const TLibFolderItem* entry, const std::string& type);
class TLibColItem;
// "collection" (memo items too), "volume-link", "folder-link", "file-link", "archive-link".
const char* ColKindText(const TLibColItem* item);
// A node of the collections tree.
TJson CollectionJson(const TTreeNode* node);
