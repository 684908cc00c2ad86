// File streams decoded by FFmpeg, reading through InputData so that a section
// of a file or a memory block is never read outside its bounds.

#include "InputAvio.h"
#include "Source.h"
#include "bass.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <cstring>
#include <vector>

namespace bass {
namespace {

constexpr int kMaxRate = 384000;

class FileSource final : public Source {
  public:
    explicit FileSource(std::unique_ptr<InputData> data) : data_(std::move(data)), input_(*data_) {}

    ~FileSource() override
    {
        swr_free(&swr_);
        av_channel_layout_uninit(&swrLayout_);
        av_frame_free(&frame_);
        av_packet_free(&packet_);
        avcodec_free_context(&decoder_);
        avformat_close_input(&format_);
    }

    int open(const FileRules& rules, bool mono, StreamFormat& out)
    {
        AVIOContext* io = input_.open();
        format_ = avformat_alloc_context();
        frame_ = av_frame_alloc();
        packet_ = av_packet_alloc();
        if (!io)
            return BASS_ERROR_MEM;
        if (!format_ || !frame_ || !packet_)
            return BASS_ERROR_MEM;
        format_->pb = io;
        format_->flags |= AVFMT_FLAG_CUSTOM_IO;
        format_->format_whitelist = av_strdup(rules.demuxers);
        if (avformat_open_input(&format_, nullptr, nullptr, nullptr) < 0)
            return BASS_ERROR_FILEFORM; // format_ is freed by a failed open
        // MPEG audio tells its rate and channels only in its frames: look at a few.
        for (unsigned i = 0; i < format_->nb_streams; ++i) {
            const AVCodecParameters* p = format_->streams[i]->codecpar;
            if (p->codec_type == AVMEDIA_TYPE_AUDIO && (p->sample_rate <= 0 || p->ch_layout.nb_channels <= 0)) {
                avformat_find_stream_info(format_, nullptr);
                break;
            }
        }
        stream_ = av_find_best_stream(format_, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
        if (stream_ < 0)
            return BASS_ERROR_FILEFORM;
        AVStream* st = format_->streams[stream_];
        if (!accepted(rules, st->codecpar->codec_id))
            return BASS_ERROR_CODEC;
        const AVCodec* codec = avcodec_find_decoder(st->codecpar->codec_id);
        decoder_ = codec ? avcodec_alloc_context3(codec) : nullptr;
        if (!decoder_ || avcodec_parameters_to_context(decoder_, st->codecpar) < 0 ||
            avcodec_open2(decoder_, codec, nullptr) < 0)
            return BASS_ERROR_CODEC;
        for (unsigned i = 0; i < format_->nb_streams; ++i)
            if (int(i) != stream_)
                format_->streams[i]->discard = AVDISCARD_ALL;

        // The first decoded frame proves the data is audio we can play.
        if (!decodeNext(mono))
            return BASS_ERROR_CODEC;
        out.rate = rate_;
        out.channels = channels_;
        out.lengthFrames = measureLength();
        return BASS_OK;
    }

    std::size_t read(int16_t* out, std::size_t frames) override
    {
        std::size_t done = 0;
        while (done < frames) {
            if (pendingFrames_ == 0 && !decodeNext(mono_))
                break;
            const std::size_t n = std::min(frames - done, pendingFrames_);
            std::memcpy(out + done * channels_, pending_.data() + pendingOffset_ * channels_,
                        n * channels_ * sizeof(int16_t));
            pendingOffset_ += n;
            pendingFrames_ -= n;
            done += n;
        }
        return done;
    }

    bool seek(uint64_t frame) override
    {
        const AVStream* st = format_->streams[stream_];
        const int64_t ts = av_rescale_q(int64_t(frame), AVRational{1, int(rate_)}, st->time_base) + startTs();
        if (av_seek_frame(format_, stream_, ts, AVSEEK_FLAG_BACKWARD) < 0 &&
            avformat_seek_file(format_, stream_, INT64_MIN, ts, ts, 0) < 0)
            return false;
        avcodec_flush_buffers(decoder_);
        swr_free(&swr_); // drops samples it still held
        pendingFrames_ = 0;
        flushed_ = false;
        skipTo_ = int64_t(frame);
        return true;
    }

  private:
    static bool accepted(const FileRules& rules, AVCodecID id)
    {
        const char* name = avcodec_get_name(id);
        for (const char* const* c = rules.codecs; *c; ++c)
            if (std::strcmp(*c, name) == 0)
                return true;
        return false;
    }

    int64_t startTs() const
    {
        const int64_t start = format_->streams[stream_]->start_time;
        return start == AV_NOPTS_VALUE ? 0 : start;
    }

    // Decodes until one frame of samples is pending; false at the end.
    bool decodeNext(bool mono)
    {
        for (;;) {
            const int got = avcodec_receive_frame(decoder_, frame_);
            if (got == 0) {
                const bool produced = convert(mono);
                av_frame_unref(frame_);
                if (produced)
                    return true;
                continue;
            }
            if (got == AVERROR_EOF || flushed_)
                return false;
            // Needs input (or the frame was corrupt: go on with the next packet).
            if (av_read_frame(format_, packet_) < 0) {
                avcodec_send_packet(decoder_, nullptr);
                flushed_ = true;
                continue;
            }
            if (packet_->stream_index == stream_)
                avcodec_send_packet(decoder_, packet_); // a corrupt packet is skipped
            av_packet_unref(packet_);
        }
    }

    // Converts frame_ to 16-bit interleaved samples in pending_; false when it
    // gave nothing (wholly before a seek target, or unusable).
    bool convert(bool mono)
    {
        if (frame_->sample_rate <= 0 || frame_->sample_rate > kMaxRate || frame_->ch_layout.nb_channels <= 0)
            return false;
        // A layout without channel positions gets the usual one for its count, so it can be mixed down.
        AVChannelLayout in{}; // zeroed: the copy below first frees what it overwrites
        if (frame_->ch_layout.order == AV_CHANNEL_ORDER_NATIVE)
            av_channel_layout_copy(&in, &frame_->ch_layout);
        else
            av_channel_layout_default(&in, frame_->ch_layout.nb_channels);
        if (channels_ == 0) { // the first frame fixes the stream's format
            mono_ = mono;
            rate_ = unsigned(frame_->sample_rate);
            channels_ = mono || in.nb_channels == 1 ? 1 : 2;
        }
        if (!swr_ || frame_->sample_rate != swrRate_ || frame_->format != swrFormat_ ||
            av_channel_layout_compare(&in, &swrLayout_) != 0) {
            swr_free(&swr_);
            AVChannelLayout outLayout;
            av_channel_layout_default(&outLayout, int(channels_));
            if (swr_alloc_set_opts2(&swr_, &outLayout, AV_SAMPLE_FMT_S16, int(rate_), &in,
                                    AVSampleFormat(frame_->format), frame_->sample_rate, 0, nullptr) < 0 ||
                swr_init(swr_) < 0) {
                swr_free(&swr_);
                av_channel_layout_uninit(&in);
                return false;
            }
            swrRate_ = frame_->sample_rate;
            swrFormat_ = frame_->format;
            av_channel_layout_uninit(&swrLayout_);
            av_channel_layout_copy(&swrLayout_, &in);
        }
        av_channel_layout_uninit(&in);
        const int room = swr_get_out_samples(swr_, frame_->nb_samples);
        if (room <= 0)
            return false;
        pending_.resize(std::size_t(room) * channels_);
        uint8_t* outPlanes[1] = {reinterpret_cast<uint8_t*>(pending_.data())};
        const int made =
            swr_convert(swr_, outPlanes, room, const_cast<const uint8_t**>(frame_->extended_data), frame_->nb_samples);
        if (made <= 0)
            return false;
        pendingOffset_ = 0;
        pendingFrames_ = std::size_t(made);
        if (skipTo_ >= 0)
            skipToTarget();
        return pendingFrames_ > 0;
    }

    // After a seek the demuxer lands at or before the target: drop the samples
    // before it, found from the frame's time stamp.
    void skipToTarget()
    {
        const int64_t ts = frame_->best_effort_timestamp;
        if (ts == AV_NOPTS_VALUE) {
            skipTo_ = -1; // no time to go by: take the landing point as the target
            return;
        }
        const AVStream* st = format_->streams[stream_];
        const int64_t first = av_rescale_q(ts - startTs(), st->time_base, AVRational{1, int(rate_)});
        const int64_t drop = skipTo_ - first;
        if (drop <= 0) {
            skipTo_ = -1;
        } else if (uint64_t(drop) >= pendingFrames_) {
            pendingFrames_ = 0; // wholly before the target: keep looking
        } else {
            pendingOffset_ = std::size_t(drop);
            pendingFrames_ -= std::size_t(drop);
            skipTo_ = -1;
        }
    }

    int64_t measureLength()
    {
        const AVStream* st = format_->streams[stream_];
        int64_t frames = -1;
        // A start time is the encoder delay the decoder drops (MPEG audio with an encoder tag).
        if (st->duration != AV_NOPTS_VALUE && st->duration > 0)
            frames =
                av_rescale_q(st->duration - std::max<int64_t>(0, startTs()), st->time_base, AVRational{1, int(rate_)});
        else if (format_->duration != AV_NOPTS_VALUE && format_->duration > 0)
            frames = av_rescale(format_->duration, rate_, AV_TIME_BASE);
        if (format_->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE || frames < 0) {
            const int64_t scanned = scanLength();
            if (scanned > 0)
                frames = scanned;
        }
        return frames;
    }

    // A length estimated from the bit rate is only a guess (a VBR file without
    // a frame-count header): add up the packet durations instead.
    int64_t scanLength()
    {
        AVPacket* scan = av_packet_alloc();
        if (!scan)
            return -1;
        const AVStream* st = format_->streams[stream_];
        // From the first packet on: the open has already decoded some.
        av_seek_frame(format_, stream_, startTs(), AVSEEK_FLAG_BACKWARD);
        int64_t total = 0;
        while (av_read_frame(format_, scan) >= 0) {
            if (scan->stream_index == stream_ && scan->duration > 0)
                total += scan->duration;
            av_packet_unref(scan);
        }
        av_packet_free(&scan);
        // Back to the start for decoding.
        av_seek_frame(format_, stream_, startTs(), AVSEEK_FLAG_BACKWARD);
        avcodec_flush_buffers(decoder_);
        swr_free(&swr_);
        pendingFrames_ = 0;
        flushed_ = false;
        return total > 0 ? av_rescale_q(total, st->time_base, AVRational{1, int(rate_)}) : -1;
    }

    std::unique_ptr<InputData> data_;
    InputAvio input_;
    AVFormatContext* format_ = nullptr;
    AVCodecContext* decoder_ = nullptr;
    AVPacket* packet_ = nullptr;
    AVFrame* frame_ = nullptr;
    SwrContext* swr_ = nullptr;
    int swrRate_ = 0;
    int swrFormat_ = -1;
    AVChannelLayout swrLayout_{};
    int stream_ = -1;
    bool mono_ = false;
    unsigned rate_ = 0;
    unsigned channels_ = 0;
    bool flushed_ = false; // the decoder has been sent the end of input
    int64_t skipTo_ = -1;  // frame a seek aims at, until reached
    std::vector<int16_t> pending_;
    std::size_t pendingOffset_ = 0; // in frames
    std::size_t pendingFrames_ = 0;
};

} // namespace

std::unique_ptr<Source> OpenFileSource(std::unique_ptr<InputData> data, const FileRules& rules, bool mono,
                                       StreamFormat& format, int& error)
{
    if (av_log_get_level() == AV_LOG_INFO)
        av_log_set_level(AV_LOG_QUIET); // decoders complain about damaged frames on stderr otherwise
    auto source = std::make_unique<FileSource>(std::move(data));
    error = source->open(rules, mono, format);
    if (error != BASS_OK)
        return nullptr;
    return source;
}

} // namespace bass
