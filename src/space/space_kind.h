#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class TLibFolderItem;

// What a block of the space view stands for; files are grouped by type so that
// the colours say what takes the space.
enum class TSpaceKind : uint8_t {
    Folder,
    Audio,
    Video,
    Image,
    Archive,
    Document,
    Program,
    Other,
    Rest, // many small entries of one folder, drawn as one block
};
inline constexpr int kSpaceKindCount = 9;

// The group of a lower-case extension without its dot ("mp3"); Other when unknown.
TSpaceKind SpaceKindOfType(std::string_view type);
// The group of a catalog entry: archives that were listed count as archives.
TSpaceKind SpaceKindOf(const TLibFolderItem* entry);
