// in_media's decoders on any bytes: the description, the open, reading with
// seeks, and zipped modules. Every format the plug-in claims is recognised by
// content, so one target covers them all. Built with MEDIA_FUZZ_FLAC,
// MEDIA_FUZZ_OPUS, MEDIA_FUZZ_AAC or MEDIA_FUZZ_WAVPACK, the target drives the
// FLAC, the Opus, the AAC (MP4 and ADTS) or the WavPack library instead.

#include "decoder/MediaDecoder.h"
#include "fuzz/FuzzCheck.h"

#include <cstdint>
#include <cstring>
#include <vector>

using namespace media;

namespace {

#if defined(MEDIA_FUZZ_FLAC)
constexpr auto describe = &DescribeFlac;
constexpr auto open = &OpenFlac;
#elif defined(MEDIA_FUZZ_OPUS)
constexpr auto describe = &DescribeOpus;
constexpr auto open = &OpenOpus;
#elif defined(MEDIA_FUZZ_AAC)
constexpr auto describe = &DescribeAac;
constexpr auto open = &OpenAac;
#elif defined(MEDIA_FUZZ_WAVPACK)
constexpr auto describe = &DescribeWavPack;
constexpr auto open = &OpenWavPack;
#else
constexpr auto describe = &DescribeMedia;
constexpr auto open = &OpenMedia;
#endif

constexpr int kFrames = 4096;
constexpr int kMaxReads = 64; // a looping stream stays a looping stream

void checkProperties(const StreamProperties& p, bool opened)
{
    check(p.sampleRate > 0 && p.sampleRate <= 384000);
    check(p.channels > 0);
    check(p.lengthMs >= -1);
    check(p.bitrateKbps >= 0 && p.bitsPerSample >= 0);
    if (opened)
        check(p.outputChannels == 1 || p.outputChannels == 2);
}

int readSome(Decoder& d, int16_t* buffer, int frames, int reads)
{
    int total = 0;
    for (int i = 0; i < reads; ++i) {
        const int n = d.read(buffer, frames);
        check(n >= 0 && n <= frames);
        if (n == 0)
            break;
        total += n;
    }
    return total;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    // A copy of exactly the input's size, so reading past it is caught.
    std::vector<uint8_t> bytes(data, data + size);
    const MediaInput input{"", bytes.data(), bytes.size()};
    std::string why;
    Description description;
    if (describe(input, description, why))
        checkProperties(description.properties, false);
    else
        check(!why.empty());

    std::unique_ptr<Decoder> decoder = open(input, why);
    if (!decoder) {
        check(!why.empty());
        return 0;
    }
    checkProperties(decoder->description().properties, true);
    static int16_t buffer[kFrames * 2];
    const int first = readSome(*decoder, buffer, kFrames, kMaxReads);
    const int rate = decoder->description().properties.sampleRate;
    if (decoder->seek(int64_t(first / 2) * 1000 / rate))
        readSome(*decoder, buffer, 1 + int(size % 997), 16);
    if (decoder->seek(0))
        readSome(*decoder, buffer, kFrames, 4);
    return 0;
}
