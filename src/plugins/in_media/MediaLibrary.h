// The decoder library (media_decoders.so beside the plug-in), loaded the first
// time the plug-in looks into a file.
#pragma once

#include "decoder/MediaDecoder.h"

#include <string>

namespace media {

// The decoders, or null with why when the library cannot be loaded.
const DecoderTable* Decoders(std::string& why);

// True once the decoders have been loaded (for the tests of lazy loading).
bool DecodersLoaded();

} // namespace media
