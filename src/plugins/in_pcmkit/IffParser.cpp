// IFF forms: AIFF and AIFC found by chunk search, 8SVX and 16SV by a walk from
// their VHDR to the BODY. All integers big-endian.

#include "Containers.h"
#include "Decoders.h"
#include "Sources.h"

namespace pcmkit {
namespace {

// The value of an 80-bit extended float rounded to an integer; 0 when it is
// not a usable sample rate.
int32_t extended_to_rate(const uint8_t* p)
{
    const bool negative = p[0] & 0x80;
    const int exponent = (p[0] & 0x7F) << 8 | p[1];
    uint64_t mantissa = 0;
    for (int i = 0; i < 8; ++i)
        mantissa = mantissa << 8 | p[2 + i];
    const int shift = exponent - 16383 - 63; // value = mantissa * 2^shift
    if (negative || mantissa == 0 || shift >= 0 || shift < -64)
        return 0;
    unsigned __int128 rounded =
        (static_cast<unsigned __int128>(mantissa) + (static_cast<unsigned __int128>(1) << (-shift - 1))) >> -shift;
    return rounded > INT32_MAX ? 0 : static_cast<int32_t>(rounded);
}

// Looks for the chunk id from position on, below limit; leaves the source at
// its data and returns its size (cut to the limit), or 0 when not found.
uint32_t find_chunk(open_context& ctx, const char* id, int64_t& position, int64_t limit)
{
    while (!aborted(ctx.abort)) {
        uint8_t header[8];
        if (position + 8 >= limit || !source_seek(ctx.source, position, ctx.abort) ||
            !source_read_exact(ctx.source, header, 8, ctx.abort))
            return 0;
        uint32_t size = get_u32be(header + 4);
        if (size & 0x80000000u)
            return 0;
        if (same_id(header, id)) {
            position += 8;
            return static_cast<uint32_t>(std::min<int64_t>(size, limit - position));
        }
        position += 8 + size + (size & 1);
        if (position > limit)
            return 0;
    }
    return 0;
}

decoder* open_aiff(open_context& ctx, int64_t formEnd, bool aifc)
{
    int64_t position = 12;
    const uint32_t commSize = find_chunk(ctx, "COMM", position, formEnd + 8);
    if (commSize < 18 || (aifc && commSize < 22))
        return nullptr;
    uint8_t comm[22];
    if (!source_read_exact(ctx.source, comm, aifc ? 22 : 18, ctx.abort))
        return nullptr;
    const int channels = get_u16be(comm);
    const int bits = get_u16be(comm + 6);
    const int32_t rate = extended_to_rate(comm + 8);

    // The sound data are looked for after COMM only, and below the form size
    // without its header: a quirk kept for the files that rely on it.
    position += commSize + (commSize & 1);
    const uint32_t ssndSize = find_chunk(ctx, "SSND", position, formEnd);
    if (ssndSize < 8 || !narrow_source(ctx, position + 8, ssndSize - 8))
        return nullptr;

    byte_source* source = ctx.source;
    if (!aifc || same_id(comm + 18, "NONE")) {
        ctx.source = nullptr;
        // Sample sizes that are not whole bytes are stored left-justified in whole bytes.
        return create_pcm_decoder(source, pcm_format{rate, channels, (bits + 7) / 8 * 8},
                                  PCM_BIG_ENDIAN | PCM_SIGNED_8);
    }
    if (same_id(comm + 18, "ima4")) {
        ctx.source = nullptr;
        return create_ima4_decoder(source, rate, channels);
    }
    ctx.message = "Compressed AIFC files other than 4-bit IMA ADPCM are not supported.";
    return nullptr;
}

decoder* open_svx(open_context& ctx, int64_t formEnd, bool sixteen)
{
    uint8_t header[8];
    if (!source_seek(ctx.source, 12, ctx.abort) || !source_read_exact(ctx.source, header, 8, ctx.abort) ||
        !same_id(header, "VHDR"))
        return nullptr;
    const uint32_t vhdrSize = get_u32be(header + 4);
    uint8_t vhdr[16];
    if (vhdrSize < 16 || vhdrSize > 255 || !source_read_exact(ctx.source, vhdr, 16, ctx.abort))
        return nullptr;
    const pcm_format format{get_u16be(vhdr + 12), 1, sixteen ? 16 : 8};
    const bool compressed = vhdr[15] != 0;

    int64_t position = 20 + vhdrSize + (vhdrSize & 1);
    for (;;) {
        if (aborted(ctx.abort) || !source_seek(ctx.source, position, ctx.abort) ||
            !source_read_exact(ctx.source, header, 8, ctx.abort))
            return nullptr;
        uint32_t size = get_u32be(header + 4);
        if (size & 0xC0000000u)
            return nullptr;
        const int64_t start = position + 8;
        if (start + size > formEnd) {
            // Some writers store twice the real size; accept that when half fits exactly.
            int64_t end = start + size / 2;
            if (end != formEnd && end != formEnd - 1)
                return nullptr;
            size /= 2;
        }
        if (same_id(header, "BODY")) {
            if (!narrow_source(ctx, start, size))
                return nullptr;
            byte_source* source = ctx.source;
            ctx.source = nullptr;
            if (!sixteen && compressed)
                return create_delta_decoder(source, format.rate);
            // 16SV samples are read in little-endian order, as files of this kind were written.
            return create_pcm_decoder(source, format, PCM_SIGNED_8);
        }
        position = start + size + (size & 1);
    }
}

} // namespace

decoder* open_iff(open_context& ctx)
{
    uint8_t head[12];
    if (!source_read_exact(ctx.source, head, 12, ctx.abort) || !same_id(head, "FORM"))
        return nullptr;
    int64_t formEnd = get_u32be(head + 4);
    formEnd += formEnd & 1;
    const int64_t length = source_length(ctx.source);
    if (length >= 0 && formEnd > length)
        formEnd = length;
    if (same_id(head + 8, "AIFF") || same_id(head + 8, "AIFC"))
        return open_aiff(ctx, formEnd, same_id(head + 8, "AIFC"));
    if (same_id(head + 8, "8SVX") || same_id(head + 8, "16SV"))
        return open_svx(ctx, formEnd + 8, same_id(head + 8, "16SV"));
    return nullptr;
}

} // namespace pcmkit
