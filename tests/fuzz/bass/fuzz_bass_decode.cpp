// Hostile files through the engine's file and module readers: open, decode a
// while, seek to the middle, decode again. The first byte picks the reader;
// file streams go the engine's way, MPEG audio and Ogg Vorbis to the light
// codecs and the rest (or what they turn down) to the general decoder.

#include "bass/FileStream.h"

#include <cstdint>
#include <vector>

namespace {

constexpr const char* kWmaCodecs[] = {"wmav1", "wmav2", "wmapro", "wmalossless", nullptr};
const bass::FileRules kWmaRules{"asf", kWmaCodecs};

const bass::CodecTable* Codecs()
{
    static const bass::CodecTable table{&bass::OpenMpegSource, &bass::OpenVorbisSource};
    return &table;
}

const bass::DecoderTable* Decoders()
{
    static const bass::DecoderTable table{&bass::OpenFileSource, &bass::OpenMusicSource};
    return &table;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const uint8_t mode = data[0];
    int error = 0;
    std::unique_ptr<bass::InputData> input = bass::InputData::Open(true, data + 1, 0, uint32_t(size - 1), error);
    if (!input)
        return 0;
    bass::StreamFormat format;
    std::unique_ptr<bass::Source> source;
    const bool mono = mode & 2;
    if (mode & 1) {
        int64_t orders = 0;
        source = bass::OpenMusicSource(std::move(input), 44100, mono, format, orders, error);
    } else {
        source = bass::OpenFileStream(std::move(input), mode & 4 ? kWmaRules : bass::kCoreFileRules, mono, format,
                                      error, &Codecs, &Decoders);
    }
    if (!source)
        return 0;
    std::vector<int16_t> buffer(4096 * 2);
    for (int i = 0; i < 32 && source->read(buffer.data(), 4096) == 4096; ++i) {
    }
    if (format.lengthFrames > 0 && source->seek(uint64_t(format.lengthFrames) / 2))
        source->read(buffer.data(), 4096);
    return 0;
}
