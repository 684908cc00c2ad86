// Ogg Vorbis decoded by libvorbisfile, reading through InputData. Lengths and
// positions come from the granule positions, so they are exact.

#include "Codecs.h"
#include "SampleMath.h"

#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

#include <cstdio>

namespace bass {
namespace {

constexpr int kChunkFrames = 4096;
constexpr int kMaxHoles = 64; // damaged stretches in a row before the stream counts as ended

class VorbisSource final : public Source {
  public:
    explicit VorbisSource(InputData& data) : input_(data) {}
    ~VorbisSource() override
    {
        if (opened_)
            ov_clear(&file_);
    }

    bool open(bool mono, StreamFormat& out)
    {
        const ov_callbacks io{&VorbisSource::ioRead, &VorbisSource::ioSeek, nullptr, &VorbisSource::ioTell};
        if (ov_open_callbacks(this, &file_, nullptr, 0, io) != 0)
            return false; // a failed open leaves nothing to clear
        opened_ = true;
        // Chained streams that change their format, and surround channels, are
        // left to the general decoder, which converts them.
        const vorbis_info* first = ov_info(&file_, 0);
        if (!first || first->channels < 1 || first->channels > 2 || first->rate <= 0)
            return false;
        for (long link = 1; link < ov_streams(&file_); ++link) {
            const vorbis_info* info = ov_info(&file_, int(link));
            if (!info || info->channels != first->channels || info->rate != first->rate)
                return false;
        }
        decodedChannels_ = unsigned(first->channels);
        mono_ = mono || first->channels == 1;
        const ogg_int64_t length = ov_pcm_total(&file_, -1);
        out.rate = unsigned(first->rate);
        out.channels = mono_ ? 1 : 2;
        out.lengthFrames = length >= 0 ? int64_t(length) : -1;
        return true;
    }

    void adopt(std::unique_ptr<InputData> data) { owned_ = std::move(data); }

    std::size_t read(int16_t* out, std::size_t frames) override
    {
        std::size_t done = 0;
        int holes = 0;
        while (done < frames) {
            float** planes = nullptr;
            int link = 0;
            const long got =
                ov_read_float(&file_, &planes, int(std::min<std::size_t>(frames - done, kChunkFrames)), &link);
            if (got == OV_HOLE && ++holes < kMaxHoles)
                continue; // a damaged page: go on with the next
            if (got <= 0)
                break;
            holes = 0;
            int16_t* to = out + done * (mono_ ? 1 : 2);
            if (decodedChannels_ == 1) {
                ToSamples(planes[0], to, std::size_t(got));
            } else if (mono_) {
                for (long i = 0; i < got; ++i)
                    to[i] = ToSample(0.5f * (planes[0][i] + planes[1][i]));
            } else {
                for (long i = 0; i < got; ++i) {
                    to[i * 2] = ToSample(planes[0][i]);
                    to[i * 2 + 1] = ToSample(planes[1][i]);
                }
            }
            done += std::size_t(got);
        }
        return done;
    }

    bool seek(uint64_t frame) override { return ov_pcm_seek(&file_, ogg_int64_t(frame)) == 0; }

  private:
    static std::size_t ioRead(void* buffer, std::size_t size, std::size_t count, void* opaque)
    {
        if (size == 0)
            return 0;
        const long got = static_cast<VorbisSource*>(opaque)->input_.read(buffer, size * count);
        return got > 0 ? std::size_t(got) / size : 0;
    }

    static int ioSeek(void* opaque, ogg_int64_t offset, int whence)
    {
        return static_cast<VorbisSource*>(opaque)->input_.seek(offset, whence) < 0 ? -1 : 0;
    }

    static long ioTell(void* opaque) { return long(static_cast<VorbisSource*>(opaque)->input_.position()); }

    InputCursor input_;
    std::unique_ptr<InputData> owned_;
    OggVorbis_File file_{};
    bool opened_ = false;
    unsigned decodedChannels_ = 2;
    bool mono_ = false;
};

} // namespace

std::unique_ptr<Source> OpenVorbisSource(std::unique_ptr<InputData>& data, bool mono, StreamFormat& format)
{
    auto source = std::make_unique<VorbisSource>(*data);
    if (!source->open(mono, format))
        return nullptr;
    source->adopt(std::move(data));
    return source;
}

} // namespace bass
