// Compressed WAVE formats through the codec manager: about 128 KiB of the file
// at a time is converted into a destination buffer that reads are served from.

#include "Decoders.h"

#include "platform/acm/msacm.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

namespace pcmkit {
namespace {

constexpr DWORD kSourceBytes = 131072;
// The ratio of the header's byte rates sizes the destination; a header that
// lies about them cannot make it tiny or huge.
constexpr int64_t kMinDestinationBytes = 1 << 16;
constexpr int64_t kMaxDestinationBytes = 1 << 22;

struct CodecDecoder : decoder {
    uint8_t* wave = nullptr; // the file's format record, with its extra bytes
    int waveSize = 0;
    WAVEFORMATEX pcm{}; // what it decodes to
    HACMSTREAM stream = nullptr;
    uint8_t* sourceBuffer = nullptr;
    DWORD sourceSize = 0;
    uint8_t* destinationBuffer = nullptr;
    DWORD destinationSize = 0;
    DWORD held = 0;      // source bytes waiting in sourceBuffer
    DWORD available = 0; // converted bytes in destinationBuffer
    DWORD offset = 0;    // next of them to hand out
    ACMSTREAMHEADER header{};
    bool prepared = false;
    bool started = false;
    bool sourceEnded = false;

    const WAVEFORMATEX& w() const { return *reinterpret_cast<const WAVEFORMATEX*>(wave); }
};

const char* missing_codec_message(int tag)
{
    switch (tag) {
    case 0x55:
        return "This file requires MP3 ACM codec to be installed.";
    case 0x161:
        return "This file requires DivX ACM codec to be installed.";
    case 0x6751:
        return "This file requires Vorbis ACM codec to be installed.";
    default:
        return "Missing codec, unable to open file.";
    }
}

void codec_destroy(decoder* self)
{
    auto* d = static_cast<CodecDecoder*>(self);
    source_destroy(d->source);
    if (d->prepared) {
        d->header.cbSrcLength = d->sourceSize;
        d->header.cbDstLength = d->destinationSize;
        acmStreamUnprepareHeader(d->stream, &d->header, 0);
    }
    if (d->stream)
        acmStreamClose(d->stream, 0);
    std::free(d->wave);
    std::free(d->sourceBuffer);
    std::free(d->destinationBuffer);
    delete d;
}

// Tops the source buffer up and converts what it holds. False when the read
// was aborted, the conversion failed, or it moved nothing at all: then the
// stream has ended.
bool convert_more(CodecDecoder* d, const abort_flag* abort)
{
    int got = 0;
    if (!d->sourceEnded && d->held < d->sourceSize) {
        got = source_read_full(d->source, d->sourceBuffer + d->held, static_cast<int>(d->sourceSize - d->held), abort);
        if (aborted(abort))
            return false;
        got = std::max(got, 0);
        // Only a read with room for more tells that the file has ended.
        d->sourceEnded = got == 0;
    }
    d->held += static_cast<DWORD>(got);
    d->header.cbSrcLength = d->held;
    d->header.cbDstLength = d->destinationSize;
    DWORD flags = ACM_STREAMCONVERTF_BLOCKALIGN;
    if (d->sourceEnded)
        flags |= ACM_STREAMCONVERTF_END;
    if (!d->started)
        flags |= ACM_STREAMCONVERTF_START;
    d->started = true;
    if (acmStreamConvert(d->stream, &d->header, flags) != MMSYSERR_NOERROR)
        return false;
    DWORD used = std::min(d->header.cbSrcLengthUsed, d->held);
    std::memmove(d->sourceBuffer, d->sourceBuffer + used, d->held - used);
    d->held -= used;
    d->available = std::min(d->header.cbDstLengthUsed, d->destinationSize);
    d->offset = 0;
    return got > 0 || used > 0 || d->available > 0;
}

int codec_read(decoder* self, void* buffer, int bytes, const abort_flag* abort)
{
    auto* d = static_cast<CodecDecoder*>(self);
    if (!d->stream)
        return 0; // opened for information only
    auto* out = static_cast<uint8_t*>(buffer);
    int total = 0;
    while (total < bytes) {
        int n = static_cast<int>(std::min<DWORD>(d->available - d->offset, static_cast<DWORD>(bytes - total)));
        if (out)
            std::memcpy(out + total, d->destinationBuffer + d->offset, static_cast<size_t>(n));
        d->offset += static_cast<DWORD>(n);
        total += n;
        if (total == bytes || !convert_more(d, abort))
            break;
    }
    return total;
}

int64_t codec_length(decoder* self)
{
    auto* d = static_cast<CodecDecoder*>(self);
    int64_t size = source_length(d->source);
    if (size < 0 || d->w().nAvgBytesPerSec == 0)
        return -1;
    return MulDiv64(size, d->w().nSamplesPerSec, d->w().nAvgBytesPerSec);
}

int codec_seek(decoder* self, int64_t frame, int64_t* bytePosition, const abort_flag* abort)
{
    auto* d = static_cast<CodecDecoder*>(self);
    if (bytePosition)
        *bytePosition = frame * (d->pcm.wBitsPerSample / 8) * d->pcm.nChannels;
    int64_t position = MulDiv64(frame, d->w().nAvgBytesPerSec, d->w().nSamplesPerSec);
    if (d->w().nBlockAlign > 0)
        position -= position % d->w().nBlockAlign;
    d->held = d->available = d->offset = 0;
    d->started = false; // the next conversion starts afresh
    d->sourceEnded = false;
    return source_seek(d->source, position, abort) ? 0 : 1;
}

// The tag a format record stands for, through an extensible wrapper.
int effective_tag(const uint8_t* wave, int size)
{
    const auto& w = *reinterpret_cast<const WAVEFORMATEX*>(wave);
    if (w.wFormatTag == WAVE_FORMAT_EXTENSIBLE && w.cbSize >= 22 && size >= 40)
        return static_cast<int>(reinterpret_cast<const WAVEFORMATEXTENSIBLE*>(wave)->SubFormat.Data1 & 0xFFFF);
    return w.wFormatTag;
}

void codec_info(decoder* self, decoder_info* info)
{
    auto* d = static_cast<CodecDecoder*>(self);
    const WAVEFORMATEX& w = d->w();
    int32_t ms = frames_to_ms(codec_length(self), d->format.rate);
    info->rate = d->pcm.nSamplesPerSec;
    info->channels = d->pcm.nChannels;
    info->bits = d->pcm.wBitsPerSample;
    info->bitrate = w.nAvgBytesPerSec * 8 / 1000 + (w.nAvgBytesPerSec * 8 % 1000 >= 500 ? 1 : 0);
    info->length_ms = static_cast<uint32_t>(ms);

    std::string names;
    ACMFORMATTAGDETAILSA tag{};
    tag.cbStruct = sizeof tag;
    tag.dwFormatTag = static_cast<DWORD>(effective_tag(d->wave, d->waveSize));
    if (acmFormatTagDetailsA(nullptr, &tag, ACM_FORMATTAGDETAILSF_FORMATTAG) == MMSYSERR_NOERROR)
        names = tag.szFormatTag;
    ACMFORMATDETAILSA format{};
    format.cbStruct = sizeof format;
    format.dwFormatTag = w.wFormatTag;
    format.pwfx = reinterpret_cast<WAVEFORMATEX*>(d->wave);
    format.cbwfx = static_cast<DWORD>(d->waveSize);
    if (acmFormatDetailsA(nullptr, &format, ACM_FORMATDETAILSF_FORMAT) == MMSYSERR_NOERROR)
        names += (names.empty() ? "" : ", ") + std::string(format.szFormat);
    std::snprintf(info->text, sizeof info->text,
                  "Format: %s\nLength: %u seconds\nOutput format: %s, %u Hz, %u channel(s), %u bits per sample",
                  names.c_str(), ms < 0 ? 0u : static_cast<unsigned>(ms) / 1000, "PCM",
                  static_cast<unsigned>(d->pcm.nSamplesPerSec), static_cast<unsigned>(d->pcm.nChannels),
                  static_cast<unsigned>(d->pcm.wBitsPerSample));
}

constexpr decoder_ops kCodecOps = {codec_destroy, codec_read, codec_length, codec_seek, codec_info, source_can_seek_op};

// The extensible form of a format: its first 18 bytes, 22 more, the given sub-format.
WAVEFORMATEXTENSIBLE extensible_of(const WAVEFORMATEX& w, WORD subFormatTag)
{
    static constexpr DWORD kMasks[] = {0, 0x4, 0x3, 0x7, 0x33, 0x37, 0x3F};
    WAVEFORMATEXTENSIBLE e{};
    e.Format = w;
    e.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
    e.Format.cbSize = 22;
    e.wValidBitsPerSample = 0;
    e.dwChannelMask = w.nChannels < std::size(kMasks) ? kMasks[w.nChannels] : 0;
    e.SubFormat = acmSubFormatOfTag(subFormatTag);
    return e;
}

bool open_stream(CodecDecoder* d)
{
    if (acmStreamOpen(&d->stream, nullptr, &d->w(), &d->pcm, nullptr, 0, 0, 0) == MMSYSERR_NOERROR)
        return true;
    // Some codecs take multichannel formats only in their extensible form. The
    // source keeps its own coding as the sub-format; PCM would misread it.
    WAVEFORMATEXTENSIBLE source = extensible_of(d->w(), static_cast<WORD>(effective_tag(d->wave, d->waveSize)));
    WAVEFORMATEXTENSIBLE destination = extensible_of(d->pcm, WAVE_FORMAT_PCM);
    return acmStreamOpen(&d->stream, nullptr, &source.Format, &destination.Format, nullptr, 0, 0, 0) ==
           MMSYSERR_NOERROR;
}

bool prepare_buffers(CodecDecoder* d)
{
    const WAVEFORMATEX& w = d->w();
    const DWORD block = std::max<DWORD>(w.nBlockAlign, 1);
    d->sourceSize = (kSourceBytes + block - 1) / block * block;
    int64_t rate = w.wFormatTag == WAVE_FORMAT_ADPCM ? w.nAvgBytesPerSec / 4 : w.nAvgBytesPerSec;
    int64_t size = MulDiv64(d->sourceSize, d->pcm.nAvgBytesPerSec, rate);
    if (size <= 0)
        return false;
    // Whatever does not fit is kept by the codec for the next conversion.
    const DWORD outBlock = std::max<DWORD>(d->pcm.nBlockAlign, 1);
    size = std::clamp(size, kMinDestinationBytes, kMaxDestinationBytes);
    d->destinationSize = static_cast<DWORD>((size + outBlock - 1) / outBlock * outBlock);
    d->sourceBuffer = static_cast<uint8_t*>(std::malloc(d->sourceSize));
    d->destinationBuffer = static_cast<uint8_t*>(std::malloc(d->destinationSize));
    if (!d->sourceBuffer || !d->destinationBuffer)
        return false;
    d->header.cbStruct = sizeof d->header;
    d->header.pbSrc = d->sourceBuffer;
    d->header.cbSrcLength = d->sourceSize;
    d->header.pbDst = d->destinationBuffer;
    d->header.cbDstLength = d->destinationSize;
    d->prepared = acmStreamPrepareHeader(d->stream, &d->header, 0) == MMSYSERR_NOERROR;
    return d->prepared;
}

} // namespace

decoder* create_codec_decoder(open_context& ctx, uint8_t* format, int formatSize)
{
    const int tag = format && formatSize >= static_cast<int>(sizeof(WAVEFORMATEX))
                        ? reinterpret_cast<const WAVEFORMATEX*>(format)->wFormatTag
                        : 0;
    auto* d = tag ? new (std::nothrow) CodecDecoder : nullptr;
    if (!d) {
        std::free(format);
        ctx.message = missing_codec_message(tag);
        return nullptr;
    }
    d->ops = &kCodecOps;
    d->source = nullptr;
    d->wave = format;
    d->waveSize = formatSize;
    d->pcm.wFormatTag = WAVE_FORMAT_PCM;
    d->pcm.cbSize = 0;
    bool ok =
        acmFormatSuggest(nullptr, &d->w(), &d->pcm, sizeof d->pcm, ACM_FORMATSUGGESTF_WFORMATTAG) == MMSYSERR_NOERROR;
    d->format = pcm_format{static_cast<int32_t>(d->pcm.nSamplesPerSec), d->pcm.nChannels, d->pcm.wBitsPerSample};
    ok = ok && playable_format(d->format);
    if (ok && !ctx.info_mode)
        ok = open_stream(d) && prepare_buffers(d);
    if (!ok) {
        ctx.message = missing_codec_message(tag);
        codec_destroy(d);
        return nullptr;
    }
    d->source = ctx.source;
    ctx.source = nullptr;
    return d;
}

} // namespace pcmkit
