// Westwood AUD, new format: chunks of a 16-bit compressed size, a 16-bit
// output size and the mark 0xDEAF, then IMA codes, two per byte. Predictor
// and step index carry over from chunk to chunk.

#include "BitReader.h"
#include "Decoders.h"
#include "ImaAdpcm.h"

#include <new>

namespace pcmkit {
namespace {

constexpr uint32_t kChunkMark = 0xDEAF;

struct AudImaDecoder : decoder {
    bit_reader reader;
    ima_state state;
    uint32_t samplesLeft = 0; // in the current chunk
    int64_t decoded = 0;      // frames since the start
    uint32_t uncompressedSize = 0;
    bool ended = false;
};

// Starts the next chunk; false at the end of the stream.
bool next_chunk(AudImaDecoder* d, const abort_flag* abort)
{
    uint8_t header[8];
    for (uint8_t& b : header)
        b = static_cast<uint8_t>(bit_reader_byte(d->reader, d->source, abort));
    if (d->reader.end || get_u32le(header + 4) != kChunkMark) {
        d->ended = true;
        return false;
    }
    d->samplesLeft = get_u16le(header) * 2u;
    return true;
}

// Decodes up to frames samples (into out unless null); returns how many.
int decode(AudImaDecoder* d, int16_t* out, int frames, const abort_flag* abort)
{
    int done = 0;
    while (done < frames && !d->ended && !aborted(abort)) {
        if (d->samplesLeft == 0) {
            if (!next_chunk(d, abort))
                break;
            continue;
        }
        int code = bit_reader_nibble(d->reader, d->source, abort);
        if (d->reader.end) {
            d->ended = true;
            break;
        }
        int16_t sample = ima_step(d->state, code);
        if (out)
            out[done] = sample;
        ++done;
        --d->samplesLeft;
    }
    d->decoded += done;
    return done;
}

int aud_read(decoder* self, void* buffer, int bytes, const abort_flag* abort)
{
    return decode(static_cast<AudImaDecoder*>(self), static_cast<int16_t*>(buffer), bytes / 2, abort) * 2;
}

int64_t aud_length(decoder* self)
{
    return static_cast<AudImaDecoder*>(self)->uncompressedSize / 2;
}

// Forward by decoding; backward by starting over from the first chunk.
int aud_seek(decoder* self, int64_t frame, int64_t* bytePosition, const abort_flag* abort)
{
    auto* d = static_cast<AudImaDecoder*>(self);
    if (bytePosition)
        *bytePosition = frame * 2;
    if (frame < d->decoded) {
        d->state = ima_state{};
        d->samplesLeft = 0;
        d->decoded = 0;
        d->ended = false;
        if (!bit_reader_reposition(d->reader, d->source, 0, abort))
            return 1;
    }
    while (d->decoded < frame && !d->ended && !aborted(abort))
        decode(d, nullptr, static_cast<int>(std::min<int64_t>(frame - d->decoded, 1 << 16)), abort);
    return aborted(abort) ? 1 : 0;
}

void aud_info(decoder* self, decoder_info* info)
{
    fill_standard_info(self, "IMA ADPCM", 4, 1, info);
}

constexpr decoder_ops kAudOps = {
    destroy_decoder_and_source<AudImaDecoder>, aud_read, aud_length, aud_seek, aud_info, source_can_seek_op};

} // namespace

decoder* create_aud_ima_decoder(byte_source* source, uint32_t uncompressedSize)
{
    auto* d = new (std::nothrow) AudImaDecoder;
    if (!d) {
        source_destroy(source);
        return nullptr;
    }
    d->ops = &kAudOps;
    d->format = {22050, 1, 16};
    d->source = source;
    d->uncompressedSize = uncompressedSize;
    return d;
}

} // namespace pcmkit
