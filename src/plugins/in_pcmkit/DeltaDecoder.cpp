// Compressed 8SVX bodies: every nibble, low one first, moves the 8-bit
// unsigned sample by its value minus 8.

#include "Decoders.h"

#include <algorithm>
#include <new>

namespace pcmkit {
namespace {

struct DeltaDecoder : decoder {
    uint8_t input[2048];
    int current = 128;
    int pending = -1; // the second sample of a byte when only one fitted
};

uint8_t delta_step(DeltaDecoder* d, int nibble)
{
    d->current = std::clamp(d->current + nibble - 8, 0, 255);
    return static_cast<uint8_t>(d->current);
}

int delta_read(decoder* self, void* buffer, int bytes, const abort_flag* abort)
{
    auto* d = static_cast<DeltaDecoder*>(self);
    auto* out = static_cast<uint8_t*>(buffer);
    int done = 0;
    auto put = [&](uint8_t sample) {
        if (out)
            out[done] = sample;
        ++done;
    };
    if (d->pending >= 0 && bytes > 0) {
        put(delta_step(d, d->pending));
        d->pending = -1;
    }
    while (done < bytes && !aborted(abort)) {
        int want = std::clamp((bytes - done) / 2, 1, static_cast<int>(sizeof d->input));
        int n = source_read(d->source, d->input, want, abort);
        if (n <= 0)
            break;
        for (int i = 0; i < n; ++i) {
            put(delta_step(d, d->input[i] & 15));
            if (done < bytes)
                put(delta_step(d, d->input[i] >> 4));
            else
                d->pending = d->input[i] >> 4;
        }
    }
    return done;
}

int64_t delta_length(decoder* self)
{
    int64_t size = source_length(self->source);
    return size < 0 ? -1 : size * 2;
}

void delta_info(decoder* self, decoder_info* info)
{
    fill_standard_info(self, "delta-encoded", 4, 1, info);
}

constexpr decoder_ops kDeltaOps = {
    destroy_decoder_and_source<DeltaDecoder>, delta_read, delta_length, refuse_seek_op, delta_info, cannot_seek_op};

} // namespace

decoder* create_delta_decoder(byte_source* source, int rate)
{
    auto* d = rate > 0 ? new (std::nothrow) DeltaDecoder : nullptr;
    if (!d) {
        source_destroy(source);
        return nullptr;
    }
    d->ops = &kDeltaOps;
    d->format = {rate, 1, 8};
    d->source = source;
    return d;
}

} // namespace pcmkit
