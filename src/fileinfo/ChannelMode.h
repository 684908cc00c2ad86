#pragma once

#include <cstdint>
#include <string>

namespace fileinfo {

// "Unknown", "Mono" or "Stereo" for a channel count of 0, 1 or 2 (and "Unknown" for any other).
inline std::string ChannelModeFor(unsigned channelCount)
{
    return channelCount == 1 ? "Mono" : channelCount == 2 ? "Stereo" : "Unknown";
}

} // namespace fileinfo
