// AAC in MP4 files (.m4a and its kin) and in ADTS files (.aac) decoded by
// libfaad2 from our own reading of the files' frames, so that playing them
// does not map FFmpeg and the dozens of libraries it brings. Streams of more
// than two channels, other codecs in MP4 (ALAC, MP3) and tagged ADTS files
// are left to the FFmpeg decoders.

#include "LightDecoder.h"
#include "AacTrack.h"

#include "bass/Source.h"

#include <neaacdec.h>

#include <algorithm>
#include <cstring>

namespace media {
namespace {

constexpr int kMaxHoles = 64; // damaged frames in a row before the stream counts as ended

class AacStream {
  public:
    explicit AacStream(bass::InputData& data) : data_(data) {}
    ~AacStream()
    {
        if (decoder_)
            NeAACDecClose(decoder_);
    }
    AacStream(const AacStream&) = delete;
    AacStream& operator=(const AacStream&) = delete;

    // Reads the tables and decodes up to the first sound, which tells the
    // rate and the channels; false with why when this reader does not play it.
    bool open(Description& out, std::string& why)
    {
        uint8_t head[8] = {};
        const bool mp4 = data_.read(0, head, 8) == 8 && std::memcmp(head + 4, "ftyp", 4) == 0;
        if (!(mp4 ? ReadMp4Track(data_, track_, why) : ReadAdtsTrack(data_, track_, why)))
            return false;
        decoder_ = NeAACDecOpen();
        NeAACDecConfigurationPtr config = NeAACDecGetCurrentConfiguration(decoder_);
        config->outputFormat = FAAD_FMT_16BIT;
        config->downMatrix = 1;
        NeAACDecSetConfiguration(decoder_, config);
        unsigned long rate = 0;
        unsigned char channels = 0;
        if (NeAACDecInit2(decoder_, track_.decoderConfig.data(), (unsigned long)track_.decoderConfig.size(), &rate,
                          &channels) < 0 ||
            rate == 0) {
            why = "The AAC stream's configuration is not one the decoder takes.";
            return false;
        }
        rate_ = uint32_t(rate);
        skip_ = outputFrames(track_.skip);
        remaining_ = totalFrames_ = outputFrames(track_.length);
        if (!decodeNext() || pcmChannels_ > 2) {
            why = "The AAC stream cannot be decoded.";
            return false;
        }
        // The decoder gives mono as two equal channels, unless parametric
        // stereo makes two of it.
        outChannels_ = track_.channels == 1 && !parametricStereo_ ? 1 : pcmChannels_;

        StreamProperties& p = out.properties;
        p.format = track_.container;
        p.codec = "AAC (Advanced Audio Coding)";
        p.sampleRate = int(rate_);
        p.channels = parametricStereo_ ? 2 : track_.channels;
        p.outputChannels = outChannels_;
        p.lengthMs = int64_t(std::min<uint64_t>(totalFrames_ * 1000 / rate_, kMaxLengthMs));
        double bitrate = track_.averageBitrate;
        if (bitrate == 0) {
            double bytes = 0;
            for (uint32_t size : track_.sizes)
                bytes += size;
            bitrate = bytes * 8 * track_.timescale / double(track_.length + track_.skip);
        }
        p.bitrateKbps = int(std::min(bitrate / 1000, double(1 << 20)));
        out.tags = track_.tags;
        return true;
    }

    int read(int16_t* out, int frames)
    {
        int done = 0;
        while (done < frames && remaining_ > 0) {
            if (pcmAt_ == pcmFrames_ && !decodeNext())
                break;
            const int n = int(std::min<uint64_t>({uint64_t(frames - done), pcmFrames_ - pcmAt_, remaining_}));
            const int16_t* from = pcm_ + std::size_t(pcmAt_) * pcmChannels_;
            int16_t* to = out + std::size_t(done) * outChannels_;
            if (outChannels_ == pcmChannels_) {
                std::memcpy(to, from, std::size_t(n) * outChannels_ * sizeof(int16_t));
            } else {
                // Mono the decoder doubled, or mono to both sides.
                const int right = std::min(pcmChannels_, 2) - 1;
                for (int i = 0; i < n; ++i) {
                    const int16_t* in = from + std::size_t(i) * pcmChannels_;
                    to[std::size_t(i) * outChannels_] = in[0];
                    if (outChannels_ == 2)
                        to[std::size_t(i) * 2 + 1] = in[right];
                }
            }
            pcmAt_ += uint32_t(n);
            remaining_ -= uint64_t(n);
            done += n;
        }
        return done;
    }

    bool seek(uint64_t frame)
    {
        if (frame >= totalFrames_)
            return false;
        const uint64_t time = track_.skip + frame * track_.timescale / rate_;
        const std::size_t target = track_.frameAt(time);
        // One frame before the target fills the decoder's overlap; its sound is dropped.
        const std::size_t from = target > 0 ? target - 1 : 0;
        NeAACDecPostSeekReset(decoder_, long(from));
        next_ = from;
        skip_ = outputFrames(time - track_.startOf(from));
        remaining_ = totalFrames_ - frame;
        pcmAt_ = pcmFrames_ = 0;
        return true;
    }

  private:
    uint64_t outputFrames(uint64_t units) const { return units * rate_ / track_.timescale; }

    // Decodes frames until one gives sound past what is skipped; false at the
    // end, or after kMaxHoles damaged frames in a row.
    bool decodeNext()
    {
        int failed = 0;
        while (next_ < track_.frameCount()) {
            const std::size_t index = next_++;
            const uint32_t size = track_.sizes[index];
            frame_.resize(size);
            if (data_.read(track_.offsets[index], frame_.data(), size) != long(size))
                return false;
            NeAACDecFrameInfo info{};
            auto* pcm = static_cast<int16_t*>(NeAACDecDecode(decoder_, &info, frame_.data(), size));
            const uint64_t lasts = outputFrames(track_.durationOf(index)); // what the frame stands for
            if (info.error != 0 || (info.samples > 0 && (!pcm || info.channels == 0))) {
                if (++failed >= kMaxHoles)
                    return false;
                continue;
            }
            failed = 0;
            if (info.samples == 0) {
                // Kept back to start the decoder's overlap: its time passes unheard.
                skip_ -= std::min(skip_, lasts);
                continue;
            }
            pcm_ = pcm;
            pcmChannels_ = info.channels;
            parametricStereo_ = parametricStereo_ || info.ps != 0;
            pcmFrames_ = uint32_t(info.samples / info.channels);
            pcmAt_ = uint32_t(std::min<uint64_t>(skip_, pcmFrames_));
            skip_ -= pcmAt_;
            if (pcmAt_ < pcmFrames_)
                return true;
        }
        return false;
    }

    bass::InputData& data_;
    AacTrack track_;
    NeAACDecHandle decoder_ = nullptr;
    uint32_t rate_ = 0;
    int outChannels_ = 0;
    uint64_t totalFrames_ = 0;
    uint64_t remaining_ = 0; // frames still to give
    uint64_t skip_ = 0;      // frames to drop before the next ones given
    std::size_t next_ = 0;   // the next frame of the track to decode
    std::vector<uint8_t> frame_;
    // The last decoded frame's sound (the decoder's buffer), and how much of it is given.
    const int16_t* pcm_ = nullptr;
    int pcmChannels_ = 0;
    bool parametricStereo_ = false;
    uint32_t pcmFrames_ = 0;
    uint32_t pcmAt_ = 0;
};

} // namespace

bool DescribeAac(const MediaInput& input, Description& out, std::string& why)
{
    return DescribeLight<AacStream>(input, out, why);
}

std::unique_ptr<Decoder> OpenAac(const MediaInput& input, std::string& why)
{
    return OpenLight<AacStream>(input, why);
}

} // namespace media
