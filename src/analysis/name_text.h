#pragma once

#include <string>
#include <string_view>

// Names from outside (file systems, archives) as UTF-8 text.
namespace nametext {

bool IsValidUtf8(std::string_view s);
// Every byte decoded as Windows-1252 (the five unassigned bytes as U+0080..U+009F).
std::string Cp1252ToUtf8(std::string_view s);
// Every byte decoded as IBM code page 437, the legacy ZIP name encoding.
std::string Cp437ToUtf8(std::string_view s);
// s itself when valid UTF-8, else its Windows-1252 reading.
std::string ToDisplayName(std::string_view s);
// A native path made displayable component by component, so that the folder
// names agree with the entry names the walker reported.
std::string ToDisplayPath(std::string_view path);

} // namespace nametext
