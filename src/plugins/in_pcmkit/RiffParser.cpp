// RIFF WAVE: a chunk walk up to "data", which must follow "fmt ".

#include "Containers.h"
#include "Decoders.h"
#include "Settings.h"
#include "Sources.h"

#include "platform/acm/msacm.h"

#include <algorithm>
#include <cstdlib>

namespace pcmkit {
namespace {

constexpr const char* kDamaged = "File is damaged.";
constexpr uint32_t kMaxFormatBytes = 0xFFFFF;
// The format record is kept at least this large (zeros past what the file
// holds), so every field of the extensible form can be read.
constexpr uint32_t kMinFormatBuffer = sizeof(WAVEFORMATEXTENSIBLE);

bool has_sub_format(const uint8_t* format, uint32_t size, WORD tag)
{
    const auto* ext = reinterpret_cast<const WAVEFORMATEXTENSIBLE*>(format);
    if (size < sizeof(WAVEFORMATEXTENSIBLE) || ext->Format.cbSize < 22)
        return false;
    WAVEGUID wanted = acmSubFormatOfTag(tag);
    return std::memcmp(&ext->SubFormat, &wanted, sizeof wanted) == 0;
}

// The byte rate of ADPCM follows from its blocks, and length and seeking are
// reckoned from the rate: ffmpeg writes its default bit rate (16000 bytes a
// second) into the ADPCM files it makes. A rate far from the blocks' is
// replaced by theirs; a sound one is kept as it is.
void take_adpcm_byte_rate_from_blocks(uint8_t* format)
{
    auto* w = reinterpret_cast<WAVEFORMATEX*>(format);
    if ((w->wFormatTag != WAVE_FORMAT_ADPCM && w->wFormatTag != WAVE_FORMAT_IMA_ADPCM) || w->cbSize < 2 ||
        w->nBlockAlign == 0)
        return;
    const uint16_t samplesPerBlock = get_u16le(format + sizeof(WAVEFORMATEX));
    if (samplesPerBlock == 0)
        return;
    const uint64_t rate = uint64_t(w->nSamplesPerSec) * w->nBlockAlign / samplesPerBlock;
    const uint64_t stored = w->nAvgBytesPerSec;
    const uint64_t apart = rate > stored ? rate - stored : stored - rate;
    if (rate > 0 && rate <= UINT32_MAX && apart * 100 > rate)
        w->nAvgBytesPerSec = static_cast<DWORD>(rate);
}

} // namespace

decoder* open_riff(open_context& ctx)
{
    uint8_t head[12];
    if (!source_read_exact(ctx.source, head, 12, ctx.abort) || !same_id(head, "RIFF") || !same_id(head + 8, "WAVE"))
        return nullptr;

    uint8_t* format = nullptr;
    uint32_t formatSize = 0;
    auto fail = [&](const char* message) -> decoder* {
        std::free(format);
        ctx.message = message;
        return nullptr;
    };

    int64_t position = 12;
    uint32_t dataSize = 0;
    for (;;) {
        uint8_t chunk[8];
        if (aborted(ctx.abort) || !source_read_exact(ctx.source, chunk, 8, ctx.abort))
            return fail(nullptr);
        const uint32_t size = get_u32le(chunk + 4);
        const int64_t start = position + 8;
        if (same_id(chunk, "data")) {
            if (!format)
                return fail(kDamaged);
            dataSize = size;
            position = start;
            break;
        }
        if (same_id(chunk, "fmt ") && !format) {
            if (size < 1 || size > kMaxFormatBytes)
                return fail(nullptr);
            format = static_cast<uint8_t*>(std::calloc(std::max(size, kMinFormatBuffer), 1));
            if (!format)
                return fail(nullptr);
            formatSize = size;
            if (!source_read_exact(ctx.source, format, static_cast<int>(size), ctx.abort))
                return fail(nullptr);
        }
        // Chunks of odd size are followed by a pad byte.
        position = start + size + (size & 1);
        if (!source_seek(ctx.source, position, ctx.abort))
            return fail(nullptr);
    }

    auto* w = reinterpret_cast<WAVEFORMATEX*>(format);
    // The extra bytes claimed must be there.
    w->cbSize = formatSize >= sizeof(WAVEFORMATEX)
                    ? static_cast<WORD>(std::min<uint32_t>(w->cbSize, formatSize - sizeof(WAVEFORMATEX)))
                    : 0;
    if (w->nChannels == 0 || w->nSamplesPerSec == 0 || (w->wFormatTag == WAVE_FORMAT_PCM && w->wBitsPerSample == 0))
        return fail(kDamaged);

    int64_t size = dataSize;
    const int64_t length = source_length(ctx.source);
    const int64_t rest = length - position;
    if (dataSize == 0) {
        // Streamed files leave the size 0: the data run to the end.
        if (length < 0 || rest <= 0)
            return fail(kDamaged);
        size = rest;
    } else if (length >= 0 && size > rest) {
        if (w->nBlockAlign == 0)
            return fail(kDamaged);
        size = rest > 0 ? rest - rest % w->nBlockAlign : 0;
        if (size <= 0)
            return fail(kDamaged);
    }
    if (!narrow_source(ctx, position, size))
        return fail(kDamaged);

    int tag = w->wFormatTag;
    if (tag == WAVE_FORMAT_EXTENSIBLE) {
        // Integer and floating-point samples play directly whatever their wrapper.
        int plain = has_sub_format(format, formatSize, WAVE_FORMAT_PCM)          ? WAVE_FORMAT_PCM
                    : has_sub_format(format, formatSize, WAVE_FORMAT_IEEE_FLOAT) ? WAVE_FORMAT_IEEE_FLOAT
                                                                                 : 0;
        if (plain) {
            tag = plain;
            w->wFormatTag = static_cast<WORD>(plain);
            w->nBlockAlign = static_cast<WORD>(w->wBitsPerSample / 8 * w->nChannels);
            w->cbSize = 0;
        }
    }
    if (tag == WAVE_FORMAT_IEEE_FLOAT && w->wBitsPerSample <= 16)
        tag = WAVE_FORMAT_PCM;

    const int storedBits = w->wBitsPerSample;
    const pcm_format pcm{static_cast<int32_t>(std::min<DWORD>(w->nSamplesPerSec, INT32_MAX)), w->nChannels,
                         (storedBits + 7) / 8 * 8};
    if (tag == WAVE_FORMAT_PCM) {
        std::free(format);
        byte_source* source = ctx.source;
        ctx.source = nullptr;
        return create_pcm_decoder(source, pcm, 0);
    }
    if (tag == WAVE_FORMAT_IEEE_FLOAT) {
        std::free(format);
        byte_source* source = ctx.source;
        ctx.source = nullptr;
        // Float samples are full scale at +/-1.0.
        return create_float_pcm_decoder(source, pcm_format{pcm.rate, pcm.channels, storedBits}, 0);
    }
    take_adpcm_byte_rate_from_blocks(format);
    return create_codec_decoder(
        ctx, format, static_cast<int>(formatSize < sizeof(WAVEFORMATEX) ? sizeof(WAVEFORMATEX) : formatSize));
}

} // namespace pcmkit
