// The file and module decoders live in their own library, libbassdecoders.so,
// loaded the first time a stream or module is opened: FFmpeg and libopenmpt
// bring well over a hundred libraries with them, and a player that starts with
// an empty playlist should not pay for them before it plays anything.
#pragma once

#include "Source.h"

namespace bass {

struct DecoderTable {
    decltype(&OpenFileSource) openFile;
    decltype(&OpenMusicSource) openMusic;
};

// The decoders, loaded on first use; null when the library cannot be loaded
// (then every open fails with BASS_ERROR_CODEC).
const DecoderTable* Decoders();

} // namespace bass

// The decoder library's one export.
extern "C" const bass::DecoderTable* orvella_bass_decoders();
