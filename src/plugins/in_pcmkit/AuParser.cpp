// Sun/NeXT AU: a big-endian header, then the sound data.

#include "Containers.h"
#include "Decoders.h"
#include "Settings.h"
#include "Sources.h"

#include "platform/acm/msacm.h"

#include <algorithm>
#include <cstdlib>

namespace pcmkit {

// A format record for the codec manager: 8-bit companded samples.
uint8_t* companded_format(int tag, int rate, int channels)
{
    auto* w = static_cast<WAVEFORMATEX*>(std::calloc(1, sizeof(WAVEFORMATEX)));
    if (!w)
        return nullptr;
    w->wFormatTag = static_cast<WORD>(tag);
    w->nChannels = static_cast<WORD>(channels);
    w->nSamplesPerSec = static_cast<DWORD>(rate);
    w->wBitsPerSample = 8;
    w->nBlockAlign = static_cast<WORD>(channels);
    w->nAvgBytesPerSec = static_cast<DWORD>(rate) * static_cast<DWORD>(channels);
    w->cbSize = 0;
    return reinterpret_cast<uint8_t*>(w);
}

decoder* open_au(open_context& ctx)
{
    uint8_t h[24];
    if (!source_read_exact(ctx.source, h, 24, ctx.abort) || !same_id(h, ".snd"))
        return nullptr;
    const uint32_t headerSize = get_u32be(h + 4);
    int64_t dataSize = get_u32be(h + 8);
    const uint32_t encoding = get_u32be(h + 12);
    const uint32_t rate = get_u32be(h + 16);
    const uint32_t channels = get_u32be(h + 20);
    if (headerSize < 24 || dataSize == 0 || rate > INT32_MAX || channels == 0 || channels > kMaxChannels)
        return nullptr;
    const int64_t length = source_length(ctx.source);
    if (length >= 0)
        dataSize = std::min<int64_t>(dataSize, length - headerSize);
    if (!narrow_source(ctx, headerSize, dataSize))
        return nullptr;

    const auto r = static_cast<int32_t>(rate);
    const auto c = static_cast<int32_t>(channels);
    byte_source* source = ctx.source;
    switch (encoding) {
    case 1:  // 8-bit mu-law
    case 27: // 8-bit A-law
    {
        uint8_t* format = companded_format(encoding == 1 ? WAVE_FORMAT_MULAW : WAVE_FORMAT_ALAW, r, c);
        return format ? create_codec_decoder(ctx, format, sizeof(WAVEFORMATEX)) : nullptr;
    }
    case 23:
        ctx.source = nullptr;
        return create_g721_decoder(source, r, c);
    case 2:
    case 3:
    case 4:
    case 5:
        ctx.source = nullptr;
        return create_pcm_decoder(source, pcm_format{r, c, 8 * static_cast<int>(encoding - 1)},
                                  PCM_BIG_ENDIAN | PCM_SIGNED_8);
    case 6:
    case 7:
        ctx.source = nullptr;
        return create_float_pcm_decoder(source, pcm_format{r, c, encoding == 6 ? 32 : 64}, PCM_BIG_ENDIAN);
    default:
        return nullptr;
    }
}

} // namespace pcmkit
