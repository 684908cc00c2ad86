// Apple IMA4 in AIFC: per channel, packets of 34 bytes (a 16-bit big-endian
// header holding predictor and step index, then 64 codes); one packet of each
// channel in turn makes a group of 64 frames.

#include "BitReader.h"
#include "Decoders.h"
#include "ImaAdpcm.h"

#include <algorithm>
#include <new>

namespace pcmkit {
namespace {

constexpr int kGroupFrames = 64;
constexpr int kPacketBytes = 34;
constexpr int kMaxIma4Channels = 4;

struct Ima4Decoder : decoder {
    bit_reader reader;
    ima_state state[kMaxIma4Channels];
    int16_t samples[kGroupFrames * kMaxIma4Channels]; // one group, frames interleaved
    int frameIndex = kGroupFrames;                    // next frame of the group to hand out
};

// Decodes the next group; false at the end (a group cut short is dropped).
bool decode_group(Ima4Decoder* d, const abort_flag* abort)
{
    const int channels = d->format.channels;
    for (int c = 0; c < channels; ++c) {
        if (d->reader.end || aborted(abort))
            return false;
        int high = bit_reader_byte(d->reader, d->source, abort);
        int low = bit_reader_byte(d->reader, d->source, abort);
        int header = high << 8 | low;
        ima_state& s = d->state[c];
        s.predictor = static_cast<int16_t>(header & 0xFF80);
        s.index = clamp_step_index(header & 0x7F); // the field has room for 127
        for (int i = 0; i < kGroupFrames; ++i)
            d->samples[i * channels + c] = ima_step(s, bit_reader_nibble(d->reader, d->source, abort));
    }
    return !d->reader.end;
}

int ima4_read(decoder* self, void* buffer, int bytes, const abort_flag* abort)
{
    auto* d = static_cast<Ima4Decoder*>(self);
    const int channels = d->format.channels;
    const int frames = bytes / (2 * channels);
    auto* out = static_cast<int16_t*>(buffer);
    int done = 0;
    while (done < frames) {
        if (d->frameIndex >= kGroupFrames) {
            if (!decode_group(d, abort))
                break;
            d->frameIndex = 0;
        }
        int n = std::min(kGroupFrames - d->frameIndex, frames - done);
        if (out)
            std::memcpy(out + done * channels, d->samples + d->frameIndex * channels,
                        static_cast<size_t>(n * channels) * sizeof(int16_t));
        d->frameIndex += n;
        done += n;
    }
    return done * 2 * channels;
}

int64_t ima4_length(decoder* self)
{
    int64_t size = source_length(self->source);
    return size < 0 ? -1 : size / kPacketBytes / self->format.channels * kGroupFrames;
}

int ima4_seek(decoder* self, int64_t frame, int64_t* bytePosition, const abort_flag* abort)
{
    auto* d = static_cast<Ima4Decoder*>(self);
    const int64_t group = frame / kGroupFrames;
    if (bytePosition)
        *bytePosition = group * kGroupFrames * d->format.channels * 2;
    d->frameIndex = kGroupFrames;
    return bit_reader_reposition(d->reader, d->source, group * d->format.channels * kPacketBytes, abort) ? 0 : 1;
}

void ima4_info(decoder* self, decoder_info* info)
{
    fill_standard_info(self, "IMA ADPCM", 4, self->format.channels, info);
}

constexpr decoder_ops kIma4Ops = {
    destroy_decoder_and_source<Ima4Decoder>, ima4_read, ima4_length, ima4_seek, ima4_info, source_can_seek_op};

} // namespace

decoder* create_ima4_decoder(byte_source* source, int rate, int channels)
{
    auto* d = channels >= 1 && channels <= kMaxIma4Channels && rate > 0 ? new (std::nothrow) Ima4Decoder : nullptr;
    if (!d) {
        source_destroy(source);
        return nullptr;
    }
    d->ops = &kIma4Ops;
    d->format = {rate, channels, 16};
    d->source = source;
    return d;
}

} // namespace pcmkit
