#pragma once

#include <cstdint>
#include <string>

// The channel mode kept by readers of simple streams: 1 mono, 2 stereo, 0 for
// any other count.
inline uint8_t ChannelModeOf(unsigned channels) {
    return channels <= 2 ? static_cast<uint8_t>(channels) : 0;
}

inline std::string ChannelModeText(uint8_t mode) {
    static const char* const names[3] = {"Unknown", "Mono", "Stereo"};
    return names[mode <= 2 ? mode : 0];
}
