// WavPack files read by libwavpack, so that playing them does not map FFmpeg
// and the dozens of libraries it brings. Streams of more than two channels
// are left to the FFmpeg decoders, which mix them down; so are DSD streams
// and streams that do not tell their length.

#include "LightDecoder.h"

#include "bass/Source.h"

#include <wavpack/wavpack.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace media {
namespace {

constexpr uint32_t kBlockFrames = 4096; // unpacked at a time

class WavPackStream {
  public:
    explicit WavPackStream(bass::InputData& data) : data_(data), cursor_(data) {}
    ~WavPackStream()
    {
        if (file_)
            WavpackCloseFile(file_);
    }
    WavPackStream(const WavPackStream&) = delete;
    WavPackStream& operator=(const WavPackStream&) = delete;

    // Reads the headers and the tags; false with why when this is no WavPack
    // stream this library plays.
    bool open(Description& out, std::string& why)
    {
        static WavpackStreamReader64 reader{&onRead,     nullptr, &onTell, &onSeekAbsolute, &onSeekRelative,
                                            &onPushBack, &onLength, &onCanSeek, nullptr,        nullptr};
        char error[80] = {};
        file_ = WavpackOpenFileInputEx64(&reader, this, nullptr, error, OPEN_TAGS, 0);
        if (!file_) {
            why = "The file is none of the formats this plug-in plays.";
            return false;
        }
        channels_ = WavpackGetNumChannels(file_);
        const uint32_t rate = WavpackGetSampleRate(file_);
        bits_ = WavpackGetBitsPerSample(file_);
        float_ = (WavpackGetMode(file_) & MODE_FLOAT) != 0;
        if (rate == 0 || rate > bass::kMaxUserRate || channels_ < 1 || channels_ > 2 || bits_ < 1 || bits_ > 32 ||
            (WavpackGetQualifyMode(file_) & QMODE_DSD_AUDIO)) {
            why = "The audio has no usable sample rate or channel count.";
            return false;
        }
        const int64_t frames = WavpackGetNumSamples64(file_);
        if (frames <= 0) {
            // Measured by the FFmpeg decoders instead.
            why = "The stream does not tell its length.";
            return false;
        }
        totalFrames_ = uint64_t(frames);
        StreamProperties& p = out.properties;
        p.format = "WavPack";
        p.codec = "WavPack";
        p.sampleRate = int(rate);
        p.channels = channels_;
        p.outputChannels = channels_;
        p.bitsPerSample = bits_;
        p.lengthMs = int64_t(std::min<uint64_t>(totalFrames_ * 1000 / rate, kMaxLengthMs));
        const double bitrate = WavpackGetAverageBitrate(file_, 0);
        p.bitrateKbps = bitrate > 0 ? int(std::min(bitrate / 1000, double(INT_MAX))) : 0;
        readTags(out.tags);
        return true;
    }

    int read(int16_t* out, int frames)
    {
        int done = 0;
        while (done < frames && !broken_) {
            const uint32_t want = std::min<uint32_t>(uint32_t(frames - done), kBlockFrames);
            unpacked_.resize(std::size_t(want) * channels_);
            const uint32_t got = WavpackUnpackSamples(file_, unpacked_.data(), want);
            if (got == 0)
                break;
            int16_t* to = out + std::size_t(done) * channels_;
            for (std::size_t i = 0; i < std::size_t(got) * channels_; ++i)
                to[i] = toSixteenBits(unpacked_[i]);
            done += int(got);
        }
        return done;
    }

    bool seek(uint64_t frame)
    {
        if (frame >= totalFrames_)
            return false;
        if (WavpackSeekSample64(file_, int64_t(frame)))
            return true;
        // A failed seek leaves the stream unusable (only damaged files fail):
        // from here it reads as ended.
        broken_ = true;
        return false;
    }

  private:
    // Samples as FFmpeg turns them into 16 bits; floats are scaled and clipped.
    int16_t toSixteenBits(int32_t v) const
    {
        if (float_) {
            float f;
            std::memcpy(&f, &v, sizeof f);
            return int16_t(std::clamp(std::lrintf(f * 32768.0f), -32768L, 32767L));
        }
        return SixteenBitSample(v, unsigned(bits_));
    }

    // APEv2 (or ID3v1) tags, their keys in lower case.
    void readTags(Tags& tags)
    {
        const int count = WavpackGetNumTagItems(file_);
        for (int i = 0; i < count; ++i) {
            char key[256] = {};
            if (WavpackGetTagItemIndexed(file_, i, key, sizeof key) <= 0)
                continue;
            const int length = WavpackGetTagItem(file_, key, nullptr, 0);
            if (length <= 0)
                continue;
            std::string value(std::size_t(length) + 1, '\0');
            WavpackGetTagItem(file_, key, value.data(), length + 1);
            value.resize(std::size_t(length));
            std::string name = key;
            for (char& c : name)
                c = char(std::tolower(static_cast<unsigned char>(c)));
            tags.emplace_back(std::move(name), std::move(value));
        }
    }

    static WavPackStream& of(void* id) { return *static_cast<WavPackStream*>(id); }

    static int32_t onRead(void* id, void* buffer, int32_t bytes)
    {
        const long got = bytes > 0 ? of(id).cursor_.read(buffer, std::size_t(bytes)) : 0;
        return got < 0 ? 0 : int32_t(got);
    }
    static int64_t onTell(void* id) { return int64_t(of(id).cursor_.position()); }
    static int onSeekAbsolute(void* id, int64_t position) { return of(id).cursor_.seek(position, SEEK_SET) < 0; }
    static int onSeekRelative(void* id, int64_t delta, int whence) { return of(id).cursor_.seek(delta, whence) < 0; }
    // The byte just read is read again next.
    static int onPushBack(void* id, int c) { return of(id).cursor_.seek(-1, SEEK_CUR) < 0 ? EOF : c; }
    static int64_t onLength(void* id) { return int64_t(of(id).data_.size()); }
    static int onCanSeek(void*) { return 1; }

    bass::InputData& data_;
    bass::InputCursor cursor_;
    WavpackContext* file_ = nullptr;
    int channels_ = 0;
    int bits_ = 0;
    bool float_ = false;
    bool broken_ = false; // by a failed seek
    uint64_t totalFrames_ = 0;
    std::vector<int32_t> unpacked_;
};

} // namespace

bool DescribeWavPack(const MediaInput& input, Description& out, std::string& why)
{
    return DescribeLight<WavPackStream>(input, out, why);
}

std::unique_ptr<Decoder> OpenWavPack(const MediaInput& input, std::string& why)
{
    return OpenLight<WavPackStream>(input, why);
}

} // namespace media
