// The decoder libraries beside the plug-in, loaded the first time the plug-in
// looks into a file of theirs: media_flac.so (libFLAC) for FLAC of one or two
// channels, media_opus.so (libopusfile) for Ogg Opus, media_decoders.so
// (FFmpeg, libopenmpt) for everything else, and for what the first two refuse.
#pragma once

#include "decoder/MediaDecoder.h"

#include <memory>
#include <string>

namespace media {

// What the file holds, or false with why.
bool DescribeFile(const std::string& path, Description& out, std::string& why);
// The file opened for playing, or null with why.
std::unique_ptr<Decoder> OpenFile(const std::string& path, std::string& why);

// True once the FFmpeg decoders have been loaded (for the tests of lazy loading).
bool DecodersLoaded();

} // namespace media
