// Constructors of every decoder and filter. A constructor that takes a byte
// source or an inner decoder owns it from then on, also when it fails (it then
// destroys it), unless its comment says otherwise.
#pragma once

#include "pcmkit.h"

namespace pcmkit {

enum pcm_flags { PCM_BIG_ENDIAN = 1, PCM_SIGNED_8 = 2 };

decoder* create_pcm_decoder(byte_source* source, pcm_format format, int flags);

// Sample decoders: 16-bit output unless noted.
decoder* create_ima4_decoder(byte_source* source, int rate, int channels);       // up to 4 channels
decoder* create_aud_ima_decoder(byte_source* source, uint32_t uncompressedSize); // 22050 Hz mono
decoder* create_dialogic_decoder(byte_source* source, int rate);                 // mono
decoder* create_g721_decoder(byte_source* source, int rate, int channels);       // up to 4 channels
decoder* create_delta_decoder(byte_source* source, int rate);                    // 8-bit mono
// Decodes a whole old-format AUD file (the context's source, from its start)
// into memory and returns a PCM decoder over it; null on any inconsistency.
decoder* decode_westwood8(open_context& ctx);

// Filters. They return null and leave the inner decoder untouched (still the
// caller's) when they cannot be built.
decoder* create_width_filter(decoder* inner);
decoder* create_mono_filter(decoder* inner);
decoder* create_float_filter(decoder* inner, double divisor, int destination, bool dither);
// Floating-point samples of the source (full scale at 1.0) as integers of the
// width and dither the settings choose; null when that cannot be built.
decoder* create_float_pcm_decoder(byte_source* source, pcm_format stored, int flags);

// The codec-manager decoder for a WAVE format record of formatSize bytes (at
// least 18), which it takes over (malloc'd). Failure sets ctx.message.
decoder* create_codec_decoder(open_context& ctx, uint8_t* format, int formatSize);
// A format record (malloc'd) for 8-bit mu-law (tag 7) or A-law (tag 6) samples.
uint8_t* companded_format(int tag, int rate, int channels);

} // namespace pcmkit
