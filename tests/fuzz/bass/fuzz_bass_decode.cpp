// Hostile files through the engine's file and module readers: open, decode a
// while, seek to the middle, decode again. The first byte picks the reader;
// file streams go the engine's way, MPEG audio and Ogg Vorbis to the light
// codecs and the rest (or what they turn down) to the general decoder. With
// bit 3 set, the decoder is read through the read-ahead buffer, as the player
// reads it, in pieces of changing size.

#include "bass/FileStream.h"
#include "bass/ReadAhead.h"
#include "fuzz/FuzzCheck.h"

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
    check(format.channels == 1 || format.channels == 2);
    const bool readAhead = mode & 8;
    if (readAhead)
        source = bass::ReadAhead(std::move(source), format);
    std::vector<int16_t> buffer(4096 * 2);
    // Piece sizes that fall across the read-ahead's bursts.
    const std::size_t pieces[] = {4096, 1, 441, 4095, 1024};
    std::size_t piece = 4096;
    for (int i = 0; i < 32; ++i) {
        const std::size_t got = source->read(buffer.data(), piece);
        check(got <= piece);
        if (got < piece)
            break;
        if (readAhead)
            piece = pieces[std::size_t(i) % std::size(pieces)];
    }
    if (format.lengthFrames > 0 && source->seek(uint64_t(format.lengthFrames) / 2))
        check(source->read(buffer.data(), 4096) <= 4096);
    return 0;
}
