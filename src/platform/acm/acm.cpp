// The codec manager over libavcodec. A stream owns one decoder context and,
// for formats whose packets are not whole blocks (MPEG audio), a parser. Each
// conversion first hands over samples kept from the one before, then feeds
// source packets while the destination has room; the samples of the last
// packet that do not fit are kept. END drains the decoder.

#include "msacm.h"

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

namespace {

constexpr uint8_t kGuidTail[12] = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
constexpr int kMaxChannels = 64;

// A source format with its extensible wrapper removed.
struct SourceFormat {
    int tag = 0;
    int channels = 0;
    int rate = 0;
    int blockAlign = 0;
    int bits = 0;
    int avgBytes = 0;
    const uint8_t* extra = nullptr;
    int extraSize = 0;
};

bool isPcmSubFormat(const WAVEGUID& guid, WORD tag)
{
    return guid.Data1 == tag && std::memcmp(&guid.Data2, kGuidTail, sizeof kGuidTail) == 0;
}

bool describeSource(const WAVEFORMATEX* w, SourceFormat& out)
{
    if (!w || w->nChannels == 0 || w->nChannels > kMaxChannels || w->nSamplesPerSec == 0 ||
        w->nSamplesPerSec > 0x7FFFFFFF)
        return false;
    out.tag = w->wFormatTag;
    out.channels = w->nChannels;
    out.rate = static_cast<int>(w->nSamplesPerSec);
    out.blockAlign = w->nBlockAlign;
    out.bits = w->wBitsPerSample;
    out.avgBytes = static_cast<int>(std::min<DWORD>(w->nAvgBytesPerSec, 0x7FFFFFFF));
    out.extra = reinterpret_cast<const uint8_t*>(w) + sizeof(WAVEFORMATEX);
    out.extraSize = w->cbSize;
    if (out.tag == WAVE_FORMAT_EXTENSIBLE) {
        if (w->cbSize < 22)
            return false;
        auto* ext = reinterpret_cast<const WAVEFORMATEXTENSIBLE*>(w);
        WAVEGUID guid = ext->SubFormat;
        if ((guid.Data1 >> 16) != 0 || !isPcmSubFormat(guid, static_cast<WORD>(guid.Data1)))
            return false;
        out.tag = static_cast<int>(guid.Data1);
        out.extra += 22;
        out.extraSize -= 22;
    }
    return true;
}

bool isPcmDestination(const WAVEFORMATEX* w)
{
    if (!w)
        return false;
    if (w->wFormatTag == WAVE_FORMAT_EXTENSIBLE)
        return w->cbSize >= 22 &&
               isPcmSubFormat(reinterpret_cast<const WAVEFORMATEXTENSIBLE*>(w)->SubFormat, WAVE_FORMAT_PCM);
    return w->wFormatTag == WAVE_FORMAT_PCM;
}

// Tags listed in ORVELLA_ACM_UNAVAILABLE are treated as having no codec.
bool tagUnavailable(int tag)
{
    const char* list = std::getenv("ORVELLA_ACM_UNAVAILABLE");
    while (list && *list) {
        char* end = nullptr;
        unsigned long value = std::strtoul(list, &end, 16);
        if (end == list)
            break;
        if (static_cast<int>(value) == tag)
            return true;
        list = *end == ',' ? end + 1 : end;
    }
    return false;
}

AVCodecID codecIdFor(int tag, int bits)
{
    if (tagUnavailable(tag))
        return AV_CODEC_ID_NONE;
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

struct AcmStream {
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

    ~AcmStream()
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
    AcmStream& stream;
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

void putFrame(AcmStream& s, const AVFrame* frame, Output& out)
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

void receiveFrames(AcmStream& s, Output& out)
{
    while (avcodec_receive_frame(s.ctx, s.frame) == 0) {
        putFrame(s, s.frame, out);
        av_frame_unref(s.frame);
    }
}

// Sends one packet (null drains) and collects what it yields. Packets the
// decoder refuses as damaged are dropped.
void decodePacket(AcmStream& s, const uint8_t* data, int size, Output& out)
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

void restart(AcmStream& s)
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

// A header prepared on this stream, or why not.
MMRESULT checkPrepared(HACMSTREAM stream, const ACMSTREAMHEADER* header)
{
    if (!stream)
        return MMSYSERR_INVALHANDLE;
    if (!header || header->cbStruct < sizeof(ACMSTREAMHEADER))
        return MMSYSERR_INVALPARAM;
    if (!(header->fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED) ||
        header->dwReservedDriver[0] != reinterpret_cast<uintptr_t>(stream))
        return ACMERR_UNPREPARED;
    return MMSYSERR_NOERROR;
}

void writeName(char* buffer, std::size_t size, const std::string& text)
{
    std::snprintf(buffer, size, "%s", text.c_str());
}

} // namespace

extern "C" {

WAVEGUID acmSubFormatOfTag(WORD tag)
{
    WAVEGUID guid{};
    guid.Data1 = tag;
    std::memcpy(&guid.Data2, kGuidTail, sizeof kGuidTail);
    return guid;
}

MMRESULT acmFormatSuggest(HACMDRIVER, const WAVEFORMATEX* src, WAVEFORMATEX* dst, DWORD cbwfxDst, DWORD fdwSuggest)
{
    if (!src || !dst || cbwfxDst < sizeof(WAVEFORMATEX))
        return MMSYSERR_INVALPARAM;
    if ((fdwSuggest & ACM_FORMATSUGGESTF_WFORMATTAG) && dst->wFormatTag != WAVE_FORMAT_PCM)
        return ACMERR_NOTPOSSIBLE;
    SourceFormat f;
    if (!describeSource(src, f))
        return ACMERR_NOTPOSSIBLE;
    AVCodecID id = codecIdFor(f.tag, f.bits);
    if (id == AV_CODEC_ID_NONE)
        return ACMERR_NOTPOSSIBLE;
    AVCodecContext* ctx = openDecoder(f, id);
    if (!ctx)
        return ACMERR_NOTPOSSIBLE;
    int bits = pcmBitsOf(ctx);
    avcodec_free_context(&ctx);

    dst->wFormatTag = WAVE_FORMAT_PCM;
    dst->nChannels = static_cast<WORD>(f.channels);
    dst->nSamplesPerSec = static_cast<DWORD>(f.rate);
    dst->nBlockAlign = static_cast<WORD>(f.channels * bits / 8);
    dst->nAvgBytesPerSec = static_cast<DWORD>(f.rate) * dst->nBlockAlign;
    dst->wBitsPerSample = static_cast<WORD>(bits);
    dst->cbSize = 0;
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamOpen(HACMSTREAM* stream, HACMDRIVER, const WAVEFORMATEX* src, const WAVEFORMATEX* dst, void* filter,
                       uintptr_t, uintptr_t, DWORD)
{
    if (!stream || !src || !dst || filter)
        return MMSYSERR_INVALPARAM;
    *stream = nullptr;
    SourceFormat f;
    if (!describeSource(src, f) || !isPcmDestination(dst))
        return ACMERR_NOTPOSSIBLE;
    const int bits = dst->wBitsPerSample;
    if (dst->nChannels != f.channels || dst->nSamplesPerSec != static_cast<DWORD>(f.rate) ||
        (bits != 8 && bits != 16 && bits != 24 && bits != 32))
        return ACMERR_NOTPOSSIBLE;
    AVCodecID id = codecIdFor(f.tag, f.bits);
    if (id == AV_CODEC_ID_NONE)
        return ACMERR_NOTPOSSIBLE;

    auto* s = new (std::nothrow) AcmStream;
    if (!s)
        return MMSYSERR_NOMEM;
    s->extra.assign(f.extra, f.extra + f.extraSize);
    s->source = f;
    s->source.extra = s->extra.data();
    s->codecId = id;
    s->channels = f.channels;
    s->dstBits = bits;
    s->ctx = openDecoder(s->source, id);
    s->packet = av_packet_alloc();
    s->frame = av_frame_alloc();
    if (!s->ctx || !s->packet || !s->frame) {
        delete s;
        return ACMERR_NOTPOSSIBLE;
    }
    if (!isLinearCodec(id))
        s->parser = av_parser_init(id);
    if (!s->parser) {
        // Without a parser a packet is whole blocks; linear PCM takes several at once.
        int block = f.blockAlign > 0 ? f.blockAlign : std::max(1, f.channels * std::max(1, f.bits / 8));
        s->packetBytes = isLinearCodec(id) ? std::max(1, 8192 / block) * block : block;
    }
    *stream = s;
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamClose(HACMSTREAM stream, DWORD)
{
    if (!stream)
        return MMSYSERR_INVALHANDLE;
    delete stream;
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamPrepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header, DWORD)
{
    if (!stream)
        return MMSYSERR_INVALHANDLE;
    if (!header || header->cbStruct < sizeof(ACMSTREAMHEADER) || !header->pbSrc || !header->pbDst)
        return MMSYSERR_INVALPARAM;
    header->fdwStatus = ACMSTREAMHEADER_STATUSF_PREPARED | ACMSTREAMHEADER_STATUSF_DONE;
    header->dwReservedDriver[0] = reinterpret_cast<uintptr_t>(stream);
    header->dwReservedDriver[1] = header->cbSrcLength;
    header->dwReservedDriver[2] = header->cbDstLength;
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamUnprepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header, DWORD)
{
    if (MMRESULT failed = checkPrepared(stream, header))
        return failed;
    // As with the system's manager, the buffers must be given back at their prepared sizes.
    if (header->cbSrcLength != header->dwReservedDriver[1] || header->cbDstLength != header->dwReservedDriver[2])
        return MMSYSERR_INVALPARAM;
    header->fdwStatus &= ~ACMSTREAMHEADER_STATUSF_PREPARED;
    header->dwReservedDriver[0] = 0;
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamConvert(HACMSTREAM stream, ACMSTREAMHEADER* header, DWORD flags)
{
    if (MMRESULT failed = checkPrepared(stream, header))
        return failed;
    if (header->cbSrcLength > header->dwReservedDriver[1] || header->cbDstLength > header->dwReservedDriver[2])
        return MMSYSERR_INVALPARAM;
    AcmStream& s = *stream;
    if (flags & ACM_STREAMCONVERTF_START)
        restart(s);

    Output out{s, header->pbDst, header->cbDstLength};
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

    const uint8_t* src = header->pbSrc;
    const std::size_t srcSize = header->cbSrcLength;
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
    header->cbSrcLengthUsed = static_cast<DWORD>(used);
    header->cbDstLengthUsed = static_cast<DWORD>(out.used);
    header->fdwStatus |= ACMSTREAMHEADER_STATUSF_DONE;
    return MMSYSERR_NOERROR;
}

MMRESULT acmFormatTagDetailsA(HACMDRIVER, ACMFORMATTAGDETAILSA* details, DWORD fdwDetails)
{
    if (!details || details->cbStruct < sizeof(ACMFORMATTAGDETAILSA) || fdwDetails != ACM_FORMATTAGDETAILSF_FORMATTAG)
        return MMSYSERR_INVALPARAM;
    int tag = static_cast<int>(details->dwFormatTag);
    AVCodecID id = codecIdFor(tag, tag == WAVE_FORMAT_IEEE_FLOAT ? 32 : 16);
    const AVCodecDescriptor* descriptor = avcodec_descriptor_get(id);
    if (id == AV_CODEC_ID_NONE || !descriptor || !avcodec_find_decoder(id))
        return ACMERR_NOTPOSSIBLE;
    details->dwFormatTagIndex = 0;
    details->cbFormatSize = sizeof(WAVEFORMATEX);
    details->fdwSupport = 0;
    details->cStandardFormats = 0;
    writeName(details->szFormatTag, sizeof details->szFormatTag,
              descriptor->long_name ? descriptor->long_name : descriptor->name);
    return MMSYSERR_NOERROR;
}

MMRESULT acmFormatDetailsA(HACMDRIVER, ACMFORMATDETAILSA* details, DWORD fdwDetails)
{
    if (!details || details->cbStruct < sizeof(ACMFORMATDETAILSA) || fdwDetails != ACM_FORMATDETAILSF_FORMAT ||
        !details->pwfx || details->cbwfx < sizeof(WAVEFORMATEX))
        return MMSYSERR_INVALPARAM;
    const WAVEFORMATEX* w = details->pwfx;
    std::string text = std::to_string(w->nSamplesPerSec) + " Hz";
    if (w->wBitsPerSample)
        text += ", " + std::to_string(w->wBitsPerSample) + " bit";
    text += w->nChannels == 1   ? ", mono"
            : w->nChannels == 2 ? ", stereo"
                                : ", " + std::to_string(w->nChannels) + " channels";
    details->dwFormatIndex = 0;
    details->dwFormatTag = w->wFormatTag;
    details->fdwSupport = 0;
    writeName(details->szFormat, sizeof details->szFormat, text);
    return MMSYSERR_NOERROR;
}

} // extern "C"
