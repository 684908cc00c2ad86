// The light decoders of the common compressed formats: MPEG audio through
// libmpg123 and Ogg Vorbis through libvorbisfile. Each takes data only when it
// opens the stream; null leaves data with the caller, for the general decoder
// to try (a stream they do not play, such as Vorbis of more than two channels,
// or one too damaged to open).
#pragma once

#include "Source.h"

namespace bass {

// Mono mixes down to one channel.
std::unique_ptr<Source> OpenMpegSource(std::unique_ptr<InputData>& data, bool mono, StreamFormat& format);
std::unique_ptr<Source> OpenVorbisSource(std::unique_ptr<InputData>& data, bool mono, StreamFormat& format);

} // namespace bass
