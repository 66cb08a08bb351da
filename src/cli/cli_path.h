#pragma once

#include "catalog/catalog_edits.h"

#include <string>
#include <string_view>
#include <vector>

class TLibObj;
class TLibFolder;
class TLibFolderItem;
class TLibColItem;
class TTree;
class TTreeNode;

// The written form of catalog paths and names: what every command prints and
// every command reads back, so that a printed path pastes into the next command.
//
// - "\" separates the names: CD1\music\a.mp3; a folder may end in "\".
// - Inside a name, %HH (two hex digits) is the byte HH. It writes a "\"
//   (%5C), a tab (%09), a line end (%0A) and the other control characters,
//   every byte that is not UTF-8, a "%" before two hex digits (%25), a "-" or
//   a blank that starts a name (%2D, %20: never taken for an option, never
//   lost in indentation) and a "#" followed by nothing but digits at the end
//   of a name (%23). Any other character, "%" included, stands for itself.
// - Siblings of one name: NAME#N is the Nth of them in catalog order (DISC#2);
//   NAME alone is then ambiguous, an error that lists NAME#1, NAME#2...
//
// The backslash-escapes of other texts (\\, \t, \xNN) cannot serve here: a
// path "CD1\new" would read as a line end.
namespace clipath {

extern const char* const kHelpText; // the rules above, for --help and the manual

// One name, without a sibling number.
std::string WrittenName(std::string_view caption);
// A node's name, with "#N" when a sibling has the same name.
std::string WrittenNodeName(const TTreeNode* node);
// A volume or folder: "CD1\music\".
std::string WrittenFolderPath(const TLibFolder* folder);
std::string WrittenEntryPath(const TLibFolderItem* entry);
// A collection: "Shelf\Jazz" (no "\" at the end).
std::string WrittenColPath(const TTreeNode* node);
// The catalog path a collection item links to.
std::string WrittenLink(const TLibColItem* item);
// A catalog path as the catalog stores it ("CD1\music\", a "\" inside a name
// as its stand-in), for rows without a node; no sibling numbers.
std::string WrittenCatalogPath(std::string_view stored);

// Text for people: a byte that is not UTF-8 as U+FFFD, stand-ins of "\" in
// stored paths as "\".
std::string DisplayText(std::string_view text);
// A text typed on the command line (a category, a title, a search text):
// bytes that are not UTF-8 are kept as names on disk keep them.
std::string ArgText(std::string_view arg);
// One new name in the written form (%HH decoded, "#" kept): refused (usage
// error) when it holds a "\" or is empty.
std::string ArgName(std::string_view written);

struct TWrittenPart {
    std::string Caption;
    int Number = 0; // NAME#N; 0 when not given
};
// The names of a written path; empty names are skipped ("CD1\\a" is CD1\a).
std::vector<TWrittenPart> ParseWrittenPath(std::string_view written);

// A volume or folder of the catalog tree. Throws "File not found" when there
// is none, and an error listing the candidates when the path is ambiguous.
TTreeNode* FindFolder(const TLibObj& lib, std::string_view written);
// A volume, folder or file; a folder is found first, and a path ending in "\"
// names only folders.
TCatalogTarget FindTarget(const TLibObj& lib, std::string_view written);
// A collection node; throws as above ("no such collection").
TTreeNode* FindCollection(const TLibObj& lib, std::string_view written);
// The same without throwing: null when nothing or ambiguous (for completion).
TTreeNode* FindFolderOrNull(const TLibObj& lib, std::string_view written);

// The children of `parent` (null: the top level of `tree`) named `caption`,
// in catalog order.
std::vector<TTreeNode*> NamedChildren(const TTree& tree, const TTreeNode* parent,
                                      std::string_view caption);

} // namespace clipath
