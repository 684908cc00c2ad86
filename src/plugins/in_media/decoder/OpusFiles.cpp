// Ogg Opus files read by libopusfile, so that playing them does not map
// FFmpeg and the dozens of libraries it brings. libopusfile mixes surround
// streams down to stereo itself; streams that do not tell their length are
// left to the FFmpeg decoders.

#include "LightDecoder.h"

#include "bass/Source.h"

#include <opus/opusfile.h>

#include <algorithm>
#include <climits>
#include <cstdio>

namespace media {
namespace {

constexpr int kRate = 48000;  // Opus always decodes at 48 kHz
constexpr int kMaxHoles = 64; // damaged stretches in a row before the stream counts as ended

class OpusStream {
  public:
    explicit OpusStream(bass::InputData& data) : cursor_(data) {}
    ~OpusStream()
    {
        if (file_)
            op_free(file_);
        if (decoder_)
            opus_decoder_destroy(decoder_);
    }
    OpusStream(const OpusStream&) = delete;
    OpusStream& operator=(const OpusStream&) = delete;

    // Reads the headers; false with why when this is no Opus stream this
    // library plays.
    bool open(Description& out, std::string& why)
    {
        const OpusFileCallbacks io{&OpusStream::onRead, &OpusStream::onSeek, &OpusStream::onTell, nullptr};
        file_ = op_open_callbacks(this, &io, nullptr, 0, nullptr);
        if (!file_) {
            why = "The file is none of the formats this plug-in plays.";
            return false;
        }
        op_set_decode_callback(file_, &OpusStream::onDecode, this);
        const ogg_int64_t frames = op_pcm_total(file_, -1);
        if (frames <= 0) {
            // Measured by the FFmpeg decoders instead.
            why = "The stream does not tell its length.";
            return false;
        }
        totalFrames_ = uint64_t(frames);
        int channels = 0;
        mono_ = true;
        for (int link = 0; link < op_link_count(file_); ++link) {
            const OpusHead* head = op_head(file_, link);
            channels = std::max(channels, head ? head->channel_count : 0);
            mono_ = mono_ && head && head->channel_count == 1;
        }
        StreamProperties& p = out.properties;
        p.format = "Ogg";
        p.codec = "Opus (Opus Interactive Audio Codec)";
        p.sampleRate = kRate;
        p.channels = channels;
        p.outputChannels = mono_ ? 1 : 2;
        p.lengthMs = int64_t(std::min<uint64_t>(totalFrames_ * 1000 / kRate, kMaxLengthMs));
        const opus_int32 bitrate = op_bitrate(file_, -1);
        p.bitrateKbps = bitrate > 0 ? int(bitrate / 1000) : 0;
        if (const OpusTags* tags = op_tags(file_, 0))
            for (int i = 0; i < tags->comments; ++i)
                AddVorbisComment(
                    std::string(tags->user_comments[i], std::size_t(std::max(tags->comment_lengths[i], 0))), out.tags);
        return true;
    }

    int read(int16_t* out, int frames)
    {
        const int channels = mono_ ? 1 : 2;
        int done = 0, holes = 0;
        while (done < frames) {
            const int values = std::min(frames - done, INT_MAX / 2) * channels;
            const int got = mono_ ? op_read(file_, out + done, values, nullptr)
                                  : op_read_stereo(file_, out + std::size_t(done) * 2, values);
            if (got == OP_HOLE && ++holes < kMaxHoles)
                continue; // a damaged page: go on with the next
            if (got <= 0)
                break;
            holes = 0;
            done += got;
        }
        return done;
    }

    bool seek(uint64_t frame)
    {
        if (frame >= totalFrames_ || op_pcm_seek(file_, ogg_int64_t(frame)) != 0)
            return false;
        decoderLink_ = -1; // libopusfile starts its decoder afresh after a seek: so does ours
        return true;
    }

  private:
    static OpusStream& of(void* stream) { return *static_cast<OpusStream*>(stream); }

    static int onRead(void* stream, unsigned char* buffer, int bytes)
    {
        const long got = bytes > 0 ? of(stream).cursor_.read(buffer, std::size_t(bytes)) : 0;
        return got < 0 ? -1 : int(got);
    }

    static int onSeek(void* stream, opus_int64 offset, int whence)
    {
        return of(stream).cursor_.seek(offset, whence) < 0 ? -1 : 0;
    }

    static opus_int64 onTell(void* stream) { return opus_int64(of(stream).cursor_.position()); }

    // A stream of one or two channels in one Opus stream (nearly every file)
    // goes through the plain decoder: the multistream one asks the processor
    // what it is on every packet, which inside a virtual machine costs more
    // than the decoding. Everything else is libopusfile's to decode.
    static int onDecode(void* stream, OpusMSDecoder*, void* pcm, const ogg_packet* packet, int frames, int channels,
                        int format, int link)
    {
        OpusStream& s = of(stream);
        const OpusHead* head = op_head(s.file_, link);
        if (!head || head->mapping_family != 0 || head->stream_count != 1 || head->channel_count != channels)
            return OP_DEC_USE_DEFAULT;
        if (link != s.decoderLink_) {
            // A decoder is made for its number of channels.
            if (s.decoder_ && s.decoderChannels_ != channels) {
                opus_decoder_destroy(s.decoder_);
                s.decoder_ = nullptr;
            }
            int error = OPUS_OK;
            if (!s.decoder_)
                s.decoder_ = opus_decoder_create(kRate, channels, &error);
            else
                opus_decoder_ctl(s.decoder_, OPUS_RESET_STATE);
            // The header's output gain, which libopusfile gives its own decoder.
            if (!s.decoder_ || error != OPUS_OK ||
                opus_decoder_ctl(s.decoder_, OPUS_SET_GAIN(head->output_gain)) != OPUS_OK)
                return OP_DEC_USE_DEFAULT;
            s.decoderLink_ = link;
            s.decoderChannels_ = channels;
        }
        const int got = format == OP_DEC_FORMAT_FLOAT
                            ? opus_decode_float(s.decoder_, packet->packet, opus_int32(packet->bytes),
                                                static_cast<float*>(pcm), frames, 0)
                            : opus_decode(s.decoder_, packet->packet, opus_int32(packet->bytes),
                                          static_cast<opus_int16*>(pcm), frames, 0);
        if (got < 0)
            return got;
        return got == frames ? 0 : OPUS_INTERNAL_ERROR;
    }

    bass::InputCursor cursor_;
    OggOpusFile* file_ = nullptr;
    OpusDecoder* decoder_ = nullptr; // for onDecode
    int decoderLink_ = -1;           // the link it decodes; -1 when it must start afresh
    int decoderChannels_ = 0;
    uint64_t totalFrames_ = 0;
    bool mono_ = false;
};

} // namespace

bool DescribeOpus(const MediaInput& input, Description& out, std::string& why)
{
    return DescribeLight<OpusStream>(input, out, why);
}

std::unique_ptr<Decoder> OpenOpus(const MediaInput& input, std::string& why)
{
    return OpenLight<OpusStream>(input, why);
}

} // namespace media
