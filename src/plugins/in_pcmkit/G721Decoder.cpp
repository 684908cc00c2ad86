// G.721 in AU files: 4-bit codes, one per channel of each frame in turn, the
// reconstructed signal times 4 as the 16-bit sample. No seeking: the decoder
// state depends on everything before.

#include "BitReader.h"
#include "Decoders.h"
#include "G721.h"

#include <new>

namespace pcmkit {
namespace {

constexpr int kMaxG721Channels = 4;
constexpr int kBitsPerCode = 4;

struct G721Decoder : decoder {
    bit_reader reader;
    g721_state state[kMaxG721Channels];
};

int g721_read(decoder* self, void* buffer, int bytes, const abort_flag* abort)
{
    auto* d = static_cast<G721Decoder*>(self);
    const int channels = d->format.channels;
    const int frames = bytes / (2 * channels);
    auto* out = static_cast<int16_t*>(buffer);
    int done = 0;
    int16_t frame[kMaxG721Channels];
    while (done < frames && !aborted(abort)) {
        for (int c = 0; c < channels; ++c) {
            int sample = g721_decode(d->state[c], bit_reader_nibble(d->reader, d->source, abort)) * 4;
            frame[c] = static_cast<int16_t>(sample < -32768 ? -32768 : sample > 32767 ? 32767 : sample);
        }
        if (d->reader.end)
            break;
        if (out)
            std::memcpy(out + done * channels, frame, static_cast<size_t>(channels) * sizeof(int16_t));
        ++done;
    }
    return done * 2 * channels;
}

int64_t g721_length(decoder* self)
{
    int64_t size = source_length(self->source);
    return size < 0 ? -1 : MulDiv64(size, 8, kBitsPerCode * self->format.channels);
}

void g721_info(decoder* self, decoder_info* info)
{
    fill_standard_info(self, "G.721 ADPCM", kBitsPerCode, self->format.channels, info);
}

constexpr decoder_ops kG721Ops = {
    destroy_decoder_and_source<G721Decoder>, g721_read, g721_length, refuse_seek_op, g721_info, cannot_seek_op};

} // namespace

decoder* create_g721_decoder(byte_source* source, int rate, int channels)
{
    auto* d = channels >= 1 && channels <= kMaxG721Channels && rate > 0 ? new (std::nothrow) G721Decoder : nullptr;
    if (!d) {
        source_destroy(source);
        return nullptr;
    }
    d->ops = &kG721Ops;
    d->format = {rate, channels, 16};
    d->source = source;
    for (g721_state& s : d->state)
        g721_reset(s);
    return d;
}

} // namespace pcmkit
