#pragma once

#include <cstdint>
#include <string>
#include <variant>

// A typed value as the readers hand it over; stored as its text form. Standard
// library only: the video module formats its values with it too.
using TTagValue = std::variant<std::string, uint8_t, uint16_t, int32_t, int64_t, int8_t, double,
                               uint32_t, uint64_t>;

// Text form of a tag value: integers in decimal, doubles with up to 15
// significant digits and a "." (stored files must not depend on the locale).
std::string TagValueText(const TTagValue& v);
// The text on one line: CR and LF become spaces.
std::string TagLineText(std::string s);
