#pragma once

#include "text/encodings.h"

#include <string>
#include <string_view>
#include <vector>

// Names from outside (file systems, archives) as UTF-8 text.
//
// How names from the disk are kept in the catalog:
// - A caption is the name's text. A name that is valid UTF-8 is kept as it is,
//   "\" included. Bytes that are not valid UTF-8 become stand-ins: byte b is
//   the character U+F700+b. The same is done to the bytes of a real character
//   in U+F700..U+F7FF, so that two different names never give one caption and
//   DiskToCaption/CaptionToDisk are exact inverses. Both work on whole native
//   paths too ("/" is left alone).
// - A catalog path ("CD1\music\") joins captions with "\". A "\" inside a name
//   is written as U+F75C there (the stand-in of the byte "\"), which no caption
//   holds. Build paths with CaptionToPathPart, split them with
//   SplitCatalogPath (or PathPartToCaption per part); never split a caption.
// - To open a file again, map the source path and the captions back with
//   CaptionToDisk. For line-based text output use ShownCaption: one line,
//   unambiguous ("\\" for "\", "\n", "\t", "\xNN" for other control
//   characters and for the stand-in of byte NN).
namespace nametext {

// The checks and conversions of text/encodings.h, under the names callers here use.
using ::Cp1252ToUtf8;
using ::IsValidUtf8;
// Every byte decoded as IBM code page 437, the legacy ZIP name encoding.
std::string Cp437ToUtf8(std::string_view s);
// s itself when valid UTF-8, else its Windows-1252 reading. For text read from
// files (lists, imports, tags); names that must be opened again use DiskToCaption.
std::string ToDisplayName(std::string_view s);

// A native path in caption form (for messages and path keys).
std::string ToDisplayPath(std::string_view path);
// On-disk name (or native path) -> caption text, one to one.
std::string DiskToCaption(std::string_view bytes);
// Caption (or a path of captions) -> the on-disk bytes it came from.
std::string CaptionToDisk(std::string_view caption);
// A caption as one part of a catalog path, and back.
std::string CaptionToPathPart(std::string_view caption);
std::string PathPartToCaption(std::string_view part);
// The captions of a catalog path ("CD1\a\b\" gives CD1, a, b); empty parts are dropped.
std::vector<std::string> SplitCatalogPath(std::string_view path);
// A caption (or any text) for line-based output, escaped as said above.
std::string ShownCaption(std::string_view caption);

} // namespace nametext
