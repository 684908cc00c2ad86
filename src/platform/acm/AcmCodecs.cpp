// The codecs behind the codec manager, over libavcodec. A stream owns one
// decoder context and, for formats whose packets are not whole blocks (MPEG
// audio), a parser. Each conversion first hands over samples kept from the one
// before, then feeds source packets while the destination has room; the
// samples of the last packet that do not fit are kept. END drains the decoder.

#include "AcmCodecs.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
}

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

using acm::CodecStream;
using acm::SourceFormat;

namespace {

AVCodecID codecIdFor(int tag, int bits)
{
    // The RIFF table names one codec per tag; PCM and float depend on the width.
    if (tag == WAVE_FORMAT_PCM) {
        switch (bits) {
        case 8:
            return AV_CODEC_ID_PCM_U8;
        case 16:
            return AV_CODEC_ID_PCM_S16LE;
        case 24:
            return AV_CODEC_ID_PCM_S24LE;
        case 32:
            return AV_CODEC_ID_PCM_S32LE;
        default:
            return AV_CODEC_ID_NONE;
        }
    }
    if (tag == WAVE_FORMAT_IEEE_FLOAT)
        return bits == 32 ? AV_CODEC_ID_PCM_F32LE : bits == 64 ? AV_CODEC_ID_PCM_F64LE : AV_CODEC_ID_NONE;
    const AVCodecTag* tables[] = {avformat_get_riff_audio_tags(), nullptr};
    return av_codec_get_id(tables, static_cast<unsigned>(tag));
}

// Linear PCM codecs take any whole number of blocks per packet.
bool isLinearCodec(AVCodecID id)
{
    return id >= AV_CODEC_ID_PCM_S16LE && id < AV_CODEC_ID_ADPCM_IMA_QT;
}

AVCodecContext* openDecoder(const SourceFormat& f, AVCodecID id)
{
    const AVCodec* codec = avcodec_find_decoder(id);
    if (!codec)
        return nullptr;
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    if (!ctx)
        return nullptr;
    ctx->log_level_offset = 64; // a damaged file is a result, not a console message
    ctx->sample_rate = f.rate;
    av_channel_layout_default(&ctx->ch_layout, f.channels);
    ctx->block_align = f.blockAlign;
    ctx->bits_per_coded_sample = f.bits;
    ctx->bit_rate = static_cast<int64_t>(f.avgBytes) * 8;
    if (f.extraSize > 0) {
        ctx->extradata =
            static_cast<uint8_t*>(av_mallocz(static_cast<size_t>(f.extraSize) + AV_INPUT_BUFFER_PADDING_SIZE));
        if (!ctx->extradata) {
            avcodec_free_context(&ctx);
            return nullptr;
        }
        std::memcpy(ctx->extradata, f.extra, static_cast<size_t>(f.extraSize));
        ctx->extradata_size = f.extraSize;
    }
    if (avcodec_open2(ctx, codec, nullptr) < 0)
        avcodec_free_context(&ctx);
    return ctx;
}

// The PCM width a decoder's samples are given in.
int pcmBitsOf(const AVCodecContext* ctx)
{
    switch (av_get_packed_sample_fmt(ctx->sample_fmt)) {
    case AV_SAMPLE_FMT_U8:
        return 8;
    case AV_SAMPLE_FMT_S32:
        return ctx->bits_per_raw_sample > 0 && ctx->bits_per_raw_sample <= 24 ? 24 : 32;
    case AV_SAMPLE_FMT_S64:
        return 32;
    default:
        return 16; // 16-bit, and floating point as the codecs' usual 16-bit output
    }
}

} // namespace

struct acm::CodecStream {
    SourceFormat source;
    std::vector<uint8_t> extra; // the source's extra bytes, kept for the decoder
    AVCodecID codecId = AV_CODEC_ID_NONE;
    AVCodecContext* ctx = nullptr;
    AVCodecParserContext* parser = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    int channels = 0;
    int dstBits = 16;
    int packetBytes = 0;       // whole blocks per packet when there is no parser
    bool drained = false;      // END has flushed the decoder
    std::vector<uint8_t> kept; // decoded bytes that did not fit the destination
    std::size_t keptOffset = 0;
    std::vector<uint8_t> scratch;

    ~CodecStream()
    {
        av_frame_free(&frame);
        av_packet_free(&packet);
        if (parser)
            av_parser_close(parser);
        avcodec_free_context(&ctx);
    }
};

namespace {

// Where converted bytes go: the caller's destination first, then the keep.
struct Output {
    CodecStream& stream;
    uint8_t* dst;
    std::size_t capacity;
    std::size_t used = 0;

    bool full() const { return used >= capacity; }

    void put(const uint8_t* bytes, std::size_t n)
    {
        std::size_t direct = std::min(n, capacity - used);
        std::memcpy(dst + used, bytes, direct);
        used += direct;
        if (direct < n)
            stream.kept.insert(stream.kept.end(), bytes + direct, bytes + n);
    }
};

inline int32_t clampRound(double y, int bits)
{
    const double top = std::ldexp(1.0, bits - 1);
    if (!(y == y))
        return 0;
    if (y >= top - 0.5)
        return static_cast<int32_t>(top - 1);
    if (y <= -top)
        return static_cast<int32_t>(-top);
    return static_cast<int32_t>(std::lrint(y));
}

// One sample of the frame as an integer of the output width.
inline int32_t sampleAt(const AVFrame* frame, AVSampleFormat fmt, bool planar, int channels, int ch, int i, int bits)
{
    const uint8_t* base = planar ? frame->extended_data[ch] : frame->extended_data[0];
    int index = planar ? i : i * channels + ch;
    int32_t wide; // left-justified in 32 bits
    switch (fmt) {
    case AV_SAMPLE_FMT_U8:
        wide = static_cast<int32_t>(static_cast<uint32_t>(base[index] - 128) << 24);
        break;
    case AV_SAMPLE_FMT_S16: {
        int16_t v;
        std::memcpy(&v, base + index * 2, 2);
        wide = static_cast<int32_t>(static_cast<uint32_t>(v) << 16);
        break;
    }
    case AV_SAMPLE_FMT_S32:
        std::memcpy(&wide, base + index * 4, 4);
        break;
    case AV_SAMPLE_FMT_S64: {
        int64_t v;
        std::memcpy(&v, base + index * 8, 8);
        wide = static_cast<int32_t>(v >> 32);
        break;
    }
    case AV_SAMPLE_FMT_FLT: {
        // Rounded in single precision like FFmpeg's own float-to-integer conversion.
        float v;
        std::memcpy(&v, base + index * 4, 4);
        float y = v * std::ldexp(1.0f, bits - 1);
        return clampRound(static_cast<double>(y), bits);
    }
    case AV_SAMPLE_FMT_DBL: {
        double v;
        std::memcpy(&v, base + index * 8, 8);
        return clampRound(v * std::ldexp(1.0, bits - 1), bits);
    }
    default:
        return 0;
    }
    return wide >> (32 - bits);
}

void putFrame(CodecStream& s, const AVFrame* frame, Output& out)
{
    const auto fmt = static_cast<AVSampleFormat>(frame->format);
    const AVSampleFormat packed = av_get_packed_sample_fmt(fmt);
    const bool planar = av_sample_fmt_is_planar(fmt) != 0;
    const int frameChannels = frame->ch_layout.nb_channels > 0 ? frame->ch_layout.nb_channels : s.channels;
    const int bytes = s.dstBits / 8;
    const std::size_t size = static_cast<std::size_t>(frame->nb_samples) * s.channels * bytes;
    // The usual case, 16-bit samples to 16-bit output, without conversions.
    if (packed == AV_SAMPLE_FMT_S16 && s.dstBits == 16 && frameChannels == s.channels) {
        if (!planar) {
            out.put(frame->extended_data[0], size);
            return;
        }
        s.scratch.resize(size);
        auto* p = reinterpret_cast<int16_t*>(s.scratch.data());
        for (int c = 0; c < s.channels; ++c) {
            const auto* in = reinterpret_cast<const int16_t*>(frame->extended_data[c]);
            for (int i = 0; i < frame->nb_samples; ++i)
                p[i * s.channels + c] = in[i];
        }
        out.put(s.scratch.data(), size);
        return;
    }
    s.scratch.resize(size);
    uint8_t* p = s.scratch.data();
    for (int i = 0; i < frame->nb_samples; ++i) {
        for (int c = 0; c < s.channels; ++c) {
            // A decoder that reports fewer channels than the header repeats its last one.
            int from = std::min(c, frameChannels - 1);
            int32_t v = sampleAt(frame, packed, planar, frameChannels, from, i, s.dstBits);
            if (bytes == 1) {
                *p++ = static_cast<uint8_t>(v + 128);
            } else {
                for (int b = 0; b < bytes; ++b)
                    *p++ = static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * b));
            }
        }
    }
    out.put(s.scratch.data(), size);
}

void receiveFrames(CodecStream& s, Output& out)
{
    while (avcodec_receive_frame(s.ctx, s.frame) == 0) {
        putFrame(s, s.frame, out);
        av_frame_unref(s.frame);
    }
}

// Sends one packet (null drains) and collects what it yields. Packets the
// decoder refuses as damaged are dropped.
void decodePacket(CodecStream& s, const uint8_t* data, int size, Output& out)
{
    AVPacket* packet = nullptr;
    if (data) {
        av_packet_unref(s.packet);
        if (av_new_packet(s.packet, size) < 0)
            return;
        std::memcpy(s.packet->data, data, static_cast<size_t>(size));
        packet = s.packet;
    }
    for (int tries = 0; tries < 2; ++tries) {
        int ret = avcodec_send_packet(s.ctx, packet);
        if (ret == AVERROR(EAGAIN)) {
            receiveFrames(s, out);
            continue;
        }
        break;
    }
    receiveFrames(s, out);
}

void restart(CodecStream& s)
{
    avcodec_flush_buffers(s.ctx);
    if (s.parser) {
        av_parser_close(s.parser);
        s.parser = av_parser_init(s.codecId);
    }
    s.kept.clear();
    s.keptOffset = 0;
    s.drained = false;
}

int pcmBits(const SourceFormat& f)
{
    AVCodecID id = codecIdFor(f.tag, f.bits);
    if (id == AV_CODEC_ID_NONE)
        return 0;
    AVCodecContext* ctx = openDecoder(f, id);
    if (!ctx)
        return 0;
    int bits = pcmBitsOf(ctx);
    avcodec_free_context(&ctx);
    return bits;
}

CodecStream* openStream(const SourceFormat& f, int dstBits)
{
    AVCodecID id = codecIdFor(f.tag, f.bits);
    if (id == AV_CODEC_ID_NONE)
        return nullptr;
    auto* s = new (std::nothrow) CodecStream;
    if (!s)
        return nullptr;
    s->extra.assign(f.extra, f.extra + f.extraSize);
    s->source = f;
    s->source.extra = s->extra.data();
    s->codecId = id;
    s->channels = f.channels;
    s->dstBits = dstBits;
    s->ctx = openDecoder(s->source, id);
    s->packet = av_packet_alloc();
    s->frame = av_frame_alloc();
    if (!s->ctx || !s->packet || !s->frame) {
        delete s;
        return nullptr;
    }
    if (!isLinearCodec(id))
        s->parser = av_parser_init(id);
    if (!s->parser) {
        // Without a parser a packet is whole blocks; linear PCM takes several at once.
        int block = f.blockAlign > 0 ? f.blockAlign : std::max(1, f.channels * std::max(1, f.bits / 8));
        s->packetBytes = isLinearCodec(id) ? std::max(1, 8192 / block) * block : block;
    }
    return s;
}

void closeStream(CodecStream* stream)
{
    delete stream;
}

acm::Conversion convert(CodecStream* stream, const uint8_t* src, std::size_t srcSize, uint8_t* dst,
                        std::size_t dstCapacity, DWORD flags)
{
    CodecStream& s = *stream;
    if (flags & ACM_STREAMCONVERTF_START)
        restart(s);

    Output out{s, dst, dstCapacity};
    // Samples kept from the last conversion come first.
    if (s.keptOffset < s.kept.size()) {
        std::size_t n = std::min(s.kept.size() - s.keptOffset, out.capacity);
        std::memcpy(out.dst, s.kept.data() + s.keptOffset, n);
        out.used = n;
        s.keptOffset += n;
    }
    if (s.keptOffset >= s.kept.size()) {
        s.kept.clear();
        s.keptOffset = 0;
    }

    std::size_t used = 0;
    const bool end = (flags & ACM_STREAMCONVERTF_END) != 0;
    while (!out.full() && used < srcSize) {
        if (s.parser) {
            uint8_t* data = nullptr;
            int size = 0;
            int chunk = static_cast<int>(std::min<std::size_t>(srcSize - used, 1 << 20));
            int consumed =
                av_parser_parse2(s.parser, s.ctx, &data, &size, src + used, chunk, AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
            if (consumed < 0)
                break;
            used += static_cast<std::size_t>(consumed);
            if (size > 0)
                decodePacket(s, data, size, out);
            else if (consumed == 0)
                break;
        } else {
            std::size_t left = srcSize - used;
            std::size_t block = static_cast<std::size_t>(s.source.blockAlign > 0 ? s.source.blockAlign : 1);
            std::size_t n = std::min<std::size_t>(left, static_cast<std::size_t>(s.packetBytes));
            n -= n % block;
            if (n == 0) {
                // A partial last block is decoded only once no more data will come.
                if (!end)
                    break;
                n = left;
            }
            decodePacket(s, src + used, static_cast<int>(n), out);
            used += n;
        }
    }
    if (end && used == srcSize && !s.drained && !out.full()) {
        if (s.parser) {
            uint8_t* data = nullptr;
            int size = 0;
            av_parser_parse2(s.parser, s.ctx, &data, &size, nullptr, 0, AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
            if (size > 0)
                decodePacket(s, data, size, out);
        }
        decodePacket(s, nullptr, 0, out);
        s.drained = true;
    }
    return {used, out.used};
}

bool tagName(int tag, char* buffer, std::size_t size)
{
    AVCodecID id = codecIdFor(tag, tag == WAVE_FORMAT_IEEE_FLOAT ? 32 : 16);
    const AVCodecDescriptor* descriptor = avcodec_descriptor_get(id);
    if (id == AV_CODEC_ID_NONE || !descriptor || !avcodec_find_decoder(id))
        return false;
    std::snprintf(buffer, size, "%s", descriptor->long_name ? descriptor->long_name : descriptor->name);
    return true;
}

} // namespace

extern "C" __attribute__((visibility("default"))) const acm::CodecTable* orvella_acm_codecs()
{
    static const acm::CodecTable table{&pcmBits, &openStream, &closeStream, &convert, &tagName};
    return &table;
}
