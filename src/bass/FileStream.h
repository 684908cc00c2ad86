// Which decoder opens a file stream. MPEG audio and Ogg Vorbis, the common
// formats, go to the light codecs (libbasscodecs.so); everything else, and
// what the codecs turn down, goes to the general decoder (FFmpeg, in
// libbassdecoders.so), which is loaded only when it is first needed.
#pragma once

#include "Codecs.h"
#include "Source.h"

namespace bass {

struct CodecTable {
    decltype(&OpenMpegSource) openMpeg;
    decltype(&OpenVorbisSource) openVorbis;
};

struct DecoderTable {
    decltype(&OpenFileSource) openFile;
    decltype(&OpenMusicSource) openMusic;
};

// codecs() and decoders() load their library when first called and return
// null when it cannot be loaded: without the codecs every stream goes to the
// general decoder, without that it fails with BASS_ERROR_CODEC. error as for
// OpenFileSource.
std::unique_ptr<Source> OpenFileStream(std::unique_ptr<InputData> data, const FileRules& rules, bool mono,
                                       StreamFormat& format, int& error, const CodecTable* (*codecs)(),
                                       const DecoderTable* (*decoders)());

} // namespace bass
