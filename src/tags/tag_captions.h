#pragma once

#include <string>
#include <string_view>

// The readable, translated name of a tag key the readers write ("DurationSec"
// shows as "Length (seconds)"), for keys whose stored name is a technical one.
// Empty for a key without one: it shows under its own name.
std::string ReadableTagName(std::string_view key);
// The key whose readable name is `caption` (ignoring case); empty when none.
std::string KeyOfReadableTagName(std::string_view caption);
