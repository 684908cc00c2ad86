// The decoders live in libraries of their own, loaded the first time a stream
// or module needs them: libbasscodecs.so (libmpg123, libvorbisfile) for MPEG
// audio and Ogg Vorbis, libbassdecoders.so for everything else (FFmpeg and
// libopenmpt bring well over a hundred libraries with them). A player that
// starts with an empty playlist pays for neither, and one that plays MP3 and
// Ogg files never maps FFmpeg.
#pragma once

#include "FileStream.h"

namespace bass {

// Each loaded on first use; null when its library cannot be loaded.
const CodecTable* Codecs();
const DecoderTable* Decoders();

} // namespace bass

// The libraries' one export each.
extern "C" const bass::CodecTable* orvella_bass_codecs();
extern "C" const bass::DecoderTable* orvella_bass_decoders();
