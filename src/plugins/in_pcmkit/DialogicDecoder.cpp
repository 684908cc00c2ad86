// Dialogic (OKI) 4-bit ADPCM of headerless VOX files: the IMA step table's
// entries 8 to 56, differences scaled by 16 for 16-bit output, high nibble
// first.

#include "BitReader.h"
#include "Decoders.h"
#include "ImaAdpcm.h"

#include <new>

namespace pcmkit {
namespace {

constexpr int kFirstStep = 8;
constexpr int kLastStep = 56;

struct DialogicDecoder : decoder {
    bit_reader reader;
    int predictor = 0;
    int index = kFirstStep;
    int pendingCode = -1; // the low nibble of the last byte, not yet decoded
    int64_t decoded = 0;
};

int16_t dialogic_step(DialogicDecoder* d, int code)
{
    int diff = ima_difference(kImaSteps[d->index], code) * 16;
    d->predictor = clamp_sample(code & 8 ? d->predictor - diff : d->predictor + diff);
    d->index = clamp_step_index(d->index + kImaIndexAdjust[code & 7], kFirstStep, kLastStep);
    return static_cast<int16_t>(d->predictor);
}

int decode(DialogicDecoder* d, int16_t* out, int frames, const abort_flag* abort)
{
    int done = 0;
    while (done < frames && !aborted(abort)) {
        int code = d->pendingCode;
        if (code < 0) {
            int byte = bit_reader_byte(d->reader, d->source, abort);
            if (d->reader.end)
                break;
            code = byte >> 4;
            d->pendingCode = byte & 15;
        } else {
            d->pendingCode = -1;
        }
        int16_t sample = dialogic_step(d, code);
        if (out)
            out[done] = sample;
        ++done;
    }
    d->decoded += done;
    return done;
}

int dialogic_read(decoder* self, void* buffer, int bytes, const abort_flag* abort)
{
    return decode(static_cast<DialogicDecoder*>(self), static_cast<int16_t*>(buffer), bytes / 2, abort) * 2;
}

int64_t dialogic_length(decoder* self)
{
    int64_t size = source_length(self->source);
    return size < 0 ? -1 : size * 2;
}

int dialogic_seek(decoder* self, int64_t frame, int64_t* bytePosition, const abort_flag* abort)
{
    auto* d = static_cast<DialogicDecoder*>(self);
    if (bytePosition)
        *bytePosition = frame * 2;
    if (frame < d->decoded) {
        d->predictor = 0;
        d->index = kFirstStep;
        d->pendingCode = -1;
        d->decoded = 0;
        if (!bit_reader_reposition(d->reader, d->source, 0, abort))
            return 1;
    }
    while (d->decoded < frame && !d->reader.end && !aborted(abort))
        decode(d, nullptr, static_cast<int>(std::min<int64_t>(frame - d->decoded, 1 << 16)), abort);
    return aborted(abort) ? 1 : 0;
}

void dialogic_info(decoder* self, decoder_info* info)
{
    fill_standard_info(self, "Dialogic ADPCM", 4, 1, info);
}

constexpr decoder_ops kDialogicOps = {destroy_decoder_and_source<DialogicDecoder>,
                                      dialogic_read,
                                      dialogic_length,
                                      dialogic_seek,
                                      dialogic_info,
                                      source_can_seek_op};

} // namespace

decoder* create_dialogic_decoder(byte_source* source, int rate)
{
    auto* d = rate > 0 ? new (std::nothrow) DialogicDecoder : nullptr;
    if (!d) {
        source_destroy(source);
        return nullptr;
    }
    d->ops = &kDialogicOps;
    d->format = {rate, 1, 16};
    d->source = source;
    return d;
}

} // namespace pcmkit
