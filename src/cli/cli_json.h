#pragma once

#include <nlohmann/json.hpp>
#include <string>

class TLibFolder;
class TLibFolderItem;
class TTreeNode;

// Machine-readable output (--json). Long listings are JSON Lines, one object
// per row, so that a script reads them as they come and no listing has to be
// held whole; short answers are one document. Texts are UTF-8 as the catalog
// holds them (a name's undecodable bytes keep their stand-in characters).
using TJson = nlohmann::ordered_json;

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
