// Westwood AUD, old format: 8-bit samples packed by a small command language,
// decoded completely at open into memory.
//
// command byte: cc nnnnnn   (n + 1 = count)
//   00  count bytes, four 2-bit steps each      01  count bytes, two 4-bit steps each
//   10  bit 5 set: one 5-bit signed step; else count bytes copied as they are
//   11  the current sample repeated count times

#include "Decoders.h"
#include "Sources.h"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace pcmkit {
namespace {

constexpr uint32_t kChunkMark = 0xDEAF;
constexpr int kMaxChunkBytes = 16384; // compressed plus output size of one chunk
constexpr int64_t kMaxOutput = INT32_MAX;

constexpr std::array<int, 4> kSteps2 = {-2, -1, 0, 1};
constexpr std::array<int, 16> kSteps4 = {-9, -8, -6, -5, -4, -3, -2, -1, 0, 1, 2, 3, 4, 5, 6, 8};

// Grows by doubling from 4096 bytes; only decoded bytes make it grow.
struct growing_buffer {
    uint8_t* data = nullptr;
    int64_t size = 0;
    int64_t capacity = 0;

    ~growing_buffer() { std::free(data); }

    bool reserve(int64_t extra)
    {
        if (size + extra <= capacity)
            return true;
        if (size + extra > kMaxOutput)
            return false;
        int64_t wanted = std::max<int64_t>(capacity, 4096);
        while (wanted < size + extra)
            wanted *= 2;
        auto* grown = static_cast<uint8_t*>(std::realloc(data, static_cast<size_t>(wanted)));
        if (!grown)
            return false;
        data = grown;
        capacity = wanted;
        return true;
    }
};

// Expands one chunk's commands into out (at most outSize samples); returns
// the samples made.
int expand_chunk(const uint8_t* in, int inSize, uint8_t* out, int outSize)
{
    int sample = 128;
    int made = 0;
    const uint8_t* end = in + inSize;
    auto put = [&](int value) {
        sample = std::clamp(value, 0, 255);
        if (made < outSize)
            out[made++] = static_cast<uint8_t>(sample);
    };
    while (in < end && made < outSize) {
        int command = *in++;
        int count = (command & 63) + 1;
        switch (command >> 6) {
        case 0:
            for (int i = 0; i < count && in < end; ++i) {
                int b = *in++;
                for (int shift = 0; shift < 8; shift += 2)
                    put(sample + kSteps2[(b >> shift) & 3]);
            }
            break;
        case 1:
            for (int i = 0; i < count && in < end; ++i) {
                int b = *in++;
                put(sample + kSteps4[b & 15]);
                put(sample + kSteps4[b >> 4]);
            }
            break;
        case 2:
            if (command & 0x20) {
                int step = command & 0x1F;
                put(sample + (step & 0x10 ? step - 32 : step));
            } else {
                for (int i = 0; i < count && in < end; ++i)
                    put(*in++);
            }
            break;
        default:
            for (int i = 0; i < count; ++i)
                put(sample);
            break;
        }
    }
    return made;
}

} // namespace

decoder* decode_westwood8(open_context& ctx)
{
    uint8_t header[8];
    if (!source_seek(ctx.source, 0, ctx.abort) || !source_read_exact(ctx.source, header, 8, ctx.abort))
        return nullptr;
    const int64_t total = get_u32le(header + 2);
    growing_buffer output;
    uint8_t chunk[kMaxChunkBytes];
    for (int64_t consumed = 0; consumed < total;) {
        uint8_t chunkHeader[8];
        if (aborted(ctx.abort) || !source_read_exact(ctx.source, chunkHeader, 8, ctx.abort) ||
            get_u32le(chunkHeader + 4) != kChunkMark)
            return nullptr;
        int packed = get_u16le(chunkHeader);
        int unpacked = get_u16le(chunkHeader + 2);
        if (packed + unpacked > kMaxChunkBytes || !source_read_exact(ctx.source, chunk, packed, ctx.abort))
            return nullptr;
        if (!output.reserve(unpacked))
            return nullptr;
        if (packed == unpacked) {
            if (packed > 0) // an empty chunk may come before the buffer exists
                std::memcpy(output.data + output.size, chunk, static_cast<size_t>(packed));
            output.size += packed;
        } else {
            output.size += expand_chunk(chunk, packed, output.data + output.size, unpacked);
        }
        consumed += 8 + packed;
    }
    byte_source* memory = create_memory_source(output.data, output.size);
    output.data = nullptr;
    if (!memory)
        return nullptr;
    source_destroy(ctx.source);
    ctx.source = nullptr;
    return create_pcm_decoder(memory, pcm_format{22050, 1, 8}, 0);
}

} // namespace pcmkit
