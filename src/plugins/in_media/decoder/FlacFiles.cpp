// FLAC files (a leading ID3v2 tag allowed) read by libFLAC, so that playing
// them does not map FFmpeg and the dozens of libraries it brings. Streams of
// more than two channels are left to the FFmpeg decoders, which mix them
// down, as the engine leaves surround Vorbis to them; so are streams that do
// not tell their length.

#include "LightDecoder.h"

#include "bass/Source.h"

#include <FLAC/stream_decoder.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <vector>

namespace media {
namespace {

class FlacStream {
  public:
    explicit FlacStream(bass::InputData& data) : data_(data), cursor_(data) {}
    ~FlacStream()
    {
        if (decoder_)
            FLAC__stream_decoder_delete(decoder_);
    }
    FlacStream(const FlacStream&) = delete;
    FlacStream& operator=(const FlacStream&) = delete;

    // Reads the metadata; false with why when this is no FLAC stream this
    // library plays.
    bool open(Description& out, std::string& why)
    {
        decoder_ = FLAC__stream_decoder_new();
        if (!decoder_) {
            why = "Out of memory.";
            return false;
        }
        FLAC__stream_decoder_set_metadata_respond(decoder_, FLAC__METADATA_TYPE_VORBIS_COMMENT);
        if (FLAC__stream_decoder_init_stream(decoder_, &FlacStream::onRead, &FlacStream::onSeek, &FlacStream::onTell,
                                             &FlacStream::onLength, &FlacStream::onEof, &FlacStream::onWrite,
                                             &FlacStream::onMetadata, &FlacStream::onError,
                                             this) != FLAC__STREAM_DECODER_INIT_STATUS_OK ||
            !FLAC__stream_decoder_process_until_end_of_metadata(decoder_) || !streamInfo_) {
            why = "The file is none of the formats this plug-in plays.";
            return false;
        }
        if (rate_ == 0 || rate_ > bass::kMaxUserRate || channels_ < 1 || channels_ > 2 || bits_ < 4 || bits_ > 32) {
            why = "The audio has no usable sample rate or channel count.";
            return false;
        }
        // A stream that does not tell its length (written as it was made) is
        // measured by the FFmpeg decoders.
        if (totalFrames_ == 0) {
            why = "The stream does not tell its length.";
            return false;
        }
        StreamProperties& p = out.properties;
        p.format = "raw FLAC";
        p.codec = "FLAC (Free Lossless Audio Codec)";
        p.sampleRate = int(rate_);
        p.channels = int(channels_);
        p.outputChannels = int(channels_);
        p.bitsPerSample = int(bits_);
        p.lengthMs = int64_t(std::min<uint64_t>(totalFrames_ * 1000 / rate_, kMaxLengthMs));
        p.bitrateKbps = p.lengthMs > 0 ? int(std::min<uint64_t>(data_.size() * 8 / uint64_t(p.lengthMs), INT_MAX)) : 0;
        out.tags = std::move(tags_);
        return true;
    }

    int read(int16_t* out, int frames)
    {
        int done = 0;
        while (done < frames) {
            if (pendingAt_ == pending_.size() && !decodeNextFrame())
                break;
            const std::size_t take =
                std::min<std::size_t>(pending_.size() - pendingAt_, std::size_t(frames - done) * channels_);
            std::memcpy(out + std::size_t(done) * channels_, pending_.data() + pendingAt_, take * sizeof(int16_t));
            pendingAt_ += take;
            done += int(take / channels_);
        }
        return done;
    }

    bool seek(uint64_t frame)
    {
        if (frame >= totalFrames_)
            return false;
        pending_.clear();
        pendingAt_ = 0;
        if (FLAC__stream_decoder_seek_absolute(decoder_, frame))
            return true;
        // Only a damaged file fails here; flushed, the stream goes on from
        // wherever libFLAC stopped.
        FLAC__stream_decoder_flush(decoder_);
        return false;
    }

  private:
    // False at the end, or where the stream cannot be decoded further. A
    // damaged frame is skipped by libFLAC, which then looks for the next.
    bool decodeNextFrame()
    {
        pending_.clear();
        pendingAt_ = 0;
        while (pending_.empty())
            if (FLAC__stream_decoder_get_state(decoder_) >= FLAC__STREAM_DECODER_END_OF_STREAM ||
                !FLAC__stream_decoder_process_single(decoder_))
                return false;
        return true;
    }

    static FlacStream& of(void* client) { return *static_cast<FlacStream*>(client); }

    static FLAC__StreamDecoderReadStatus onRead(const FLAC__StreamDecoder*, FLAC__byte buffer[], size_t* bytes,
                                                void* client)
    {
        const long got = *bytes ? of(client).cursor_.read(buffer, *bytes) : 0;
        if (got < 0)
            return FLAC__STREAM_DECODER_READ_STATUS_ABORT;
        *bytes = std::size_t(got);
        return got == 0 ? FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM : FLAC__STREAM_DECODER_READ_STATUS_CONTINUE;
    }

    static FLAC__StreamDecoderSeekStatus onSeek(const FLAC__StreamDecoder*, FLAC__uint64 offset, void* client)
    {
        if (offset > uint64_t(INT64_MAX) || of(client).cursor_.seek(int64_t(offset), SEEK_SET) < 0)
            return FLAC__STREAM_DECODER_SEEK_STATUS_ERROR;
        return FLAC__STREAM_DECODER_SEEK_STATUS_OK;
    }

    static FLAC__StreamDecoderTellStatus onTell(const FLAC__StreamDecoder*, FLAC__uint64* offset, void* client)
    {
        *offset = of(client).cursor_.position();
        return FLAC__STREAM_DECODER_TELL_STATUS_OK;
    }

    static FLAC__StreamDecoderLengthStatus onLength(const FLAC__StreamDecoder*, FLAC__uint64* length, void* client)
    {
        *length = of(client).data_.size();
        return FLAC__STREAM_DECODER_LENGTH_STATUS_OK;
    }

    static FLAC__bool onEof(const FLAC__StreamDecoder*, void* client)
    {
        return of(client).cursor_.position() >= of(client).data_.size();
    }

    // One frame into 16-bit interleaved samples.
    static FLAC__StreamDecoderWriteStatus onWrite(const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                                  const FLAC__int32* const planes[], void* client)
    {
        FlacStream& s = of(client);
        const unsigned bits = frame->header.bits_per_sample;
        if (frame->header.channels != s.channels_ || bits < 4 || bits > 32)
            return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
        const unsigned n = frame->header.blocksize;
        s.pending_.resize(std::size_t(n) * s.channels_);
        int16_t* to = s.pending_.data();
        for (unsigned i = 0; i < n; ++i)
            for (unsigned c = 0; c < s.channels_; ++c)
                *to++ = SixteenBitSample(planes[c][i], bits);
        return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
    }

    static void onMetadata(const FLAC__StreamDecoder*, const FLAC__StreamMetadata* metadata, void* client)
    {
        FlacStream& s = of(client);
        if (metadata->type == FLAC__METADATA_TYPE_STREAMINFO) {
            const FLAC__StreamMetadata_StreamInfo& info = metadata->data.stream_info;
            s.streamInfo_ = true;
            s.rate_ = info.sample_rate;
            s.channels_ = info.channels;
            s.bits_ = info.bits_per_sample;
            s.totalFrames_ = info.total_samples;
        } else if (metadata->type == FLAC__METADATA_TYPE_VORBIS_COMMENT) {
            const FLAC__StreamMetadata_VorbisComment& comments = metadata->data.vorbis_comment;
            for (FLAC__uint32 i = 0; i < comments.num_comments; ++i)
                AddVorbisComment(
                    std::string(reinterpret_cast<const char*>(comments.comments[i].entry), comments.comments[i].length),
                    s.tags_);
        }
    }

    static void onError(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void*) {}

    bass::InputData& data_;
    bass::InputCursor cursor_;
    FLAC__StreamDecoder* decoder_ = nullptr;
    bool streamInfo_ = false;
    unsigned rate_ = 0, channels_ = 0, bits_ = 0;
    uint64_t totalFrames_ = 0;
    Tags tags_;
    std::vector<int16_t> pending_;
    std::size_t pendingAt_ = 0;
};

} // namespace

bool DescribeFlac(const MediaInput& input, Description& out, std::string& why)
{
    return DescribeLight<FlacStream>(input, out, why);
}

std::unique_ptr<Decoder> OpenFlac(const MediaInput& input, std::string& why)
{
    return OpenLight<FlacStream>(input, why);
}

} // namespace media
