// What the light decoder libraries (FLAC, Opus) share: the decoder around a
// format's stream. The stream reads the file's headers into a description,
// decodes and seeks by frame; the decoder owns the input and turns
// milliseconds into frames.
#pragma once

#include "MediaDecoder.h"
#include "MediaInput.h"

#include <algorithm>
#include <memory>
#include <string>

namespace media {

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
