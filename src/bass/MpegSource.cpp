// MPEG audio (layers I, II and III) decoded by libmpg123, reading through
// InputData. Encoder delay and padding from a LAME/Xing header are trimmed
// (gapless), so lengths and positions count exactly the frames a listener hears.

#include "Codecs.h"
#include "MpegFrames.h"
#include "SampleMath.h"

#include <mpg123.h>

#include <array>
#include <cstring>

namespace bass {
namespace {

constexpr std::size_t kChunkFrames = 1152;
constexpr int kMaxStalls = 16;
constexpr uint64_t kMinFrameBytes = 24; // no MPEG audio frame is shorter (layer III, 8 kbit/s at 24 kHz) // reads in a
                                        // row that return nothing before the stream counts as ended

class MpegSource final : public Source {
  public:
    explicit MpegSource(InputData& data) : input_(data) {}
    ~MpegSource() override
    {
        if (handle_) {
            mpg123_close(handle_);
            mpg123_delete(handle_);
        }
    }

    bool open(InputData& data, bool mono, StreamFormat& out)
    {
        static const int initialised = mpg123_init(); // once, thread-safe
        if (initialised != MPG123_OK)
            return false;
        handle_ = mpg123_new(nullptr, nullptr);
        if (!handle_)
            return false;
        // Damaged stretches are skipped however long they are, as the other decoders do.
        mpg123_param(handle_, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS | MPG123_SKIP_ID3V2, 0);
        mpg123_param(handle_, MPG123_RESYNC_LIMIT, -1, 0);
        mpg123_format_none(handle_);
        const long* rates = nullptr;
        std::size_t count = 0;
        mpg123_rates(&rates, &count);
        for (std::size_t i = 0; i < count; ++i)
            mpg123_format(handle_, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32);
        if (mpg123_replace_reader_handle(handle_, &MpegSource::ioRead, &MpegSource::ioSeek, nullptr) != MPG123_OK ||
            mpg123_open_handle(handle_, this) != MPG123_OK)
            return false;
        long rate = 0;
        int channels = 0, encoding = 0;
        if (mpg123_getformat(handle_, &rate, &channels, &encoding) != MPG123_OK || rate <= 0 ||
            (channels != 1 && channels != 2))
            return false;
        // The first frame fixes the format: later frames of another rate or
        // channel count are converted to it.
        mpg123_format_none(handle_);
        mpg123_format(handle_, rate, channels, MPG123_ENC_FLOAT_32);
        decodedChannels_ = unsigned(channels);
        mono_ = mono || channels == 1;

        // Without a frame-count header the length is only a guess from the bit
        // rate, and a count the data cannot hold is a lie: count the frames.
        const int64_t first = FirstMpegFrame(data);
        const uint64_t declared = first >= 0 ? HeaderFrameCount(data, uint64_t(first)) : 0;
        if (declared == 0 || declared > data.size() / kMinFrameBytes)
            mpg123_scan(handle_);
        const off_t length = mpg123_length(handle_);
        out.rate = unsigned(rate);
        out.channels = mono_ ? 1 : 2;
        out.lengthFrames = length > 0 ? int64_t(length) : -1;
        return true;
    }

    void adopt(std::unique_ptr<InputData> data) { owned_ = std::move(data); }

    std::size_t read(int16_t* out, std::size_t frames) override
    {
        std::size_t done = 0;
        int stalls = 0;
        while (done < frames && stalls < kMaxStalls) {
            const std::size_t want = std::min(frames - done, kChunkFrames);
            std::size_t bytes = 0;
            const int result = mpg123_read(handle_, decoded_.data(), want * decodedChannels_ * sizeof(float), &bytes);
            const std::size_t got = bytes / (decodedChannels_ * sizeof(float));
            convert(decoded_.data(), got, out + done * (mono_ ? 1 : 2));
            done += got;
            stalls = got > 0 ? 0 : stalls + 1;
            if (result != MPG123_OK && result != MPG123_NEW_FORMAT)
                break; // the end, or damage past what a resync gets over
        }
        return done;
    }

    bool seek(uint64_t frame) override { return mpg123_seek(handle_, off_t(frame), SEEK_SET) >= 0; }

  private:
    void convert(const float* in, std::size_t frames, int16_t* out) const
    {
        if (decodedChannels_ == 2 && mono_) {
            for (std::size_t i = 0; i < frames; ++i)
                out[i] = ToSample(0.5f * (in[i * 2] + in[i * 2 + 1]));
        } else {
            ToSamples(in, out, frames * decodedChannels_);
        }
    }

    static mpg123_ssize_t ioRead(void* opaque, void* buffer, std::size_t size)
    {
        return static_cast<MpegSource*>(opaque)->input_.read(buffer, size);
    }

    static off_t ioSeek(void* opaque, off_t offset, int whence)
    {
        return off_t(static_cast<MpegSource*>(opaque)->input_.seek(int64_t(offset), whence));
    }

    InputCursor input_;
    std::unique_ptr<InputData> owned_;
    mpg123_handle* handle_ = nullptr;
    unsigned decodedChannels_ = 2;
    bool mono_ = false;
    std::array<float, kChunkFrames * 2> decoded_{};
};

} // namespace

std::unique_ptr<Source> OpenMpegSource(std::unique_ptr<InputData>& data, bool mono, StreamFormat& format)
{
    auto source = std::make_unique<MpegSource>(*data);
    if (!source->open(*data, mono, format))
        return nullptr;
    source->adopt(std::move(data));
    return source;
}

} // namespace bass
