// What the light decoder libraries (FLAC, Opus) share: the decoder around a
// format's stream. The stream reads the file's headers into a description,
// decodes and seeks by frame; the decoder owns the input and turns
// milliseconds into frames.
#pragma once

#include "MediaDecoder.h"
#include "MediaInput.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>

namespace media {

// An integer sample `bits` wide (1 to 32) in 16 bits, as FFmpeg makes it:
// wider ones lose their low bits, narrower ones move up. A damaged frame can
// decode to values beyond its width: they clip.
inline int16_t SixteenBitSample(int32_t v, unsigned bits)
{
    const int64_t scaled = bits >= 16 ? v >> (bits - 16) : int64_t(v) * (int64_t(1) << (16 - bits));
    return int16_t(std::clamp<int64_t>(scaled, INT16_MIN, INT16_MAX));
}

template <class Stream> class LightDecoder final : public Decoder {
  public:
    explicit LightDecoder(std::unique_ptr<bass::InputData> data) : data_(std::move(data)), stream_(*data_) {}
    bool open(std::string& why) { return stream_.open(description_, why); }

    int read(int16_t* out, int frames) override { return stream_.read(out, std::max(frames, 0)); }
    bool seek(int64_t ms) override
    {
        const StreamProperties& p = description_.properties;
        if (ms < 0 || ms > p.lengthMs)
            return false;
        return stream_.seek(uint64_t(ms) * unsigned(p.sampleRate) / 1000);
    }

  private:
    std::unique_ptr<bass::InputData> data_;
    Stream stream_;
};

template <class Stream> bool DescribeLight(const MediaInput& input, Description& out, std::string& why)
{
    out = Description{};
    std::unique_ptr<bass::InputData> data = OpenInput(input, why);
    return data && Stream(*data).open(out, why);
}

template <class Stream> std::unique_ptr<Decoder> OpenLight(const MediaInput& input, std::string& why)
{
    std::unique_ptr<bass::InputData> data = OpenInput(input, why);
    if (!data)
        return nullptr;
    auto decoder = std::make_unique<LightDecoder<Stream>>(std::move(data));
    if (!decoder->open(why))
        return nullptr;
    return decoder;
}

} // namespace media
