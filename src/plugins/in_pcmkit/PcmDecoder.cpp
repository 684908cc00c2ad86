// Plain PCM straight from the source, with the byte order and 8-bit sign
// brought to the output convention.

#include "Decoders.h"

#include <new>
#include <utility>

namespace pcmkit {
namespace {

struct PcmDecoder : decoder {
    int flags;
};

template <typename T, T (*Swap)(T)> void swap_each(uint8_t* p, int bytes)
{
    for (int i = 0; i + static_cast<int>(sizeof(T)) <= bytes; i += sizeof(T)) {
        T v;
        std::memcpy(&v, p + i, sizeof v);
        v = Swap(v);
        std::memcpy(p + i, &v, sizeof v);
    }
}

uint16_t swap16(uint16_t v)
{
    return __builtin_bswap16(v);
}
uint32_t swap_halves32(uint32_t v)
{
    return v << 16 | v >> 16;
}
uint64_t swap_halves64(uint64_t v)
{
    return v << 32 | v >> 32;
}

// Wider samples are reversed as halves of halves: each pass is a rotate that
// vectorises, where a whole reversal would run one sample at a time.
void swap_bytes(uint8_t* p, int bytes, int width)
{
    switch (width) {
    case 2:
        swap_each<uint16_t, swap16>(p, bytes);
        return;
    case 4:
        swap_each<uint16_t, swap16>(p, bytes);
        swap_each<uint32_t, swap_halves32>(p, bytes);
        return;
    case 8:
        swap_each<uint16_t, swap16>(p, bytes);
        swap_each<uint32_t, swap_halves32>(p, bytes);
        swap_each<uint64_t, swap_halves64>(p, bytes);
        return;
    default:
        for (int i = 0; i + width <= bytes; i += width)
            for (int a = i, b = i + width - 1; a < b; ++a, --b)
                std::swap(p[a], p[b]);
    }
}

int pcm_read(decoder* self, void* buffer, int bytes, const abort_flag* abort)
{
    auto* d = static_cast<PcmDecoder*>(self);
    const int frame = frame_bytes(d->format);
    bytes -= bytes % frame;
    uint8_t scratch[4608];
    int total = 0;
    while (total < bytes) {
        // Dropped data (seeking forward) still has to pass through a buffer.
        uint8_t* out = buffer ? static_cast<uint8_t*>(buffer) + total : scratch;
        int want = buffer ? bytes - total : std::min(bytes - total, static_cast<int>(sizeof scratch) / frame * frame);
        int n = source_read_full(d->source, out, want, abort);
        // A partial frame at the very end is dropped.
        n -= n % frame;
        if (n <= 0)
            break;
        const int width = d->format.bits / 8;
        if ((d->flags & PCM_SIGNED_8) && width == 1)
            for (int i = 0; i < n; ++i)
                out[i] = static_cast<uint8_t>(out[i] - 128);
        if ((d->flags & PCM_BIG_ENDIAN) && width > 1)
            swap_bytes(out, n, width);
        total += n;
        if (n < want)
            break;
    }
    return total;
}

int64_t pcm_length(decoder* self)
{
    int64_t size = source_length(self->source);
    return size < 0 ? -1 : size / frame_bytes(self->format);
}

int pcm_seek(decoder* self, int64_t frame, int64_t* bytePosition, const abort_flag* abort)
{
    int64_t position = frame * frame_bytes(self->format);
    if (bytePosition)
        *bytePosition = position;
    return source_seek(self->source, position, abort) ? 0 : 1;
}

void pcm_info(decoder* self, decoder_info* info)
{
    fill_standard_info(self, "PCM", self->format.bits, self->format.channels, info);
}

constexpr decoder_ops kPcmOps = {
    destroy_decoder_and_source<PcmDecoder>, pcm_read, pcm_length, pcm_seek, pcm_info, source_can_seek_op};

} // namespace

decoder* create_pcm_decoder(byte_source* source, pcm_format format, int flags)
{
    auto* d = playable_format(format) ? new (std::nothrow) PcmDecoder : nullptr;
    if (!d) {
        source_destroy(source);
        return nullptr;
    }
    d->ops = &kPcmOps;
    d->format = format;
    d->source = source;
    d->flags = flags;
    return d;
}

} // namespace pcmkit
