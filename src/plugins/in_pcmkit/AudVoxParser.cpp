// Westwood AUD (old 8-bit and new IMA headers) and headerless Dialogic VOX.

#include "Containers.h"
#include "Decoders.h"
#include "Settings.h"
#include "Sources.h"

#include <algorithm>

namespace pcmkit {

namespace {
constexpr uint32_t kChunkMark = 0xDEAF;
constexpr int kAudRate = 22050;
} // namespace

decoder* open_aud(open_context& ctx)
{
    uint8_t h[20];
    const int got = source_read_full(ctx.source, h, sizeof h, ctx.abort);
    if (got < 16 || !source_seek(ctx.source, 0, ctx.abort) || get_u16le(h) != kAudRate)
        return nullptr;
    // Old: rate, size, flags 0 and type 1, then the first chunk.
    if (get_u16le(h + 6) == 256 && get_u32le(h + 12) == kChunkMark)
        return decode_westwood8(ctx);
    // New: rate, compressed size, uncompressed size, flags 2 and type 99, then the first chunk.
    if (got >= 20 && get_u16le(h + 10) == 0x6302 && get_u32le(h + 16) == kChunkMark) {
        if (!narrow_source(ctx, 12, get_u32le(h + 2)))
            return nullptr;
        byte_source* source = ctx.source;
        ctx.source = nullptr;
        return create_aud_ima_decoder(source, get_u32le(h + 6));
    }
    return nullptr;
}

decoder* open_vox(open_context& ctx)
{
    byte_source* source = ctx.source;
    ctx.source = nullptr;
    return create_dialogic_decoder(source, static_cast<int>(std::min<uint32_t>(cfg_raw_sr, INT32_MAX)));
}

} // namespace pcmkit
