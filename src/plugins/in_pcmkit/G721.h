// The ITU-T G.721 32 kbit/s ADPCM decoder: one state per channel, 4-bit codes
// in, the 14-bit linear reconstructed signal out.
#pragma once

#include <cstdint>

namespace pcmkit {

struct g721_state {
    int32_t yl;    // slow (locked) quantiser scale factor
    int16_t yu;    // fast (unlocked) quantiser scale factor
    int16_t dms;   // short-term average of F(I)
    int16_t dml;   // long-term average of F(I)
    int16_t ap;    // speed control
    int16_t a[2];  // pole predictor coefficients
    int16_t b[6];  // zero predictor coefficients
    int16_t pk[2]; // signs of the last two partial signals
    int16_t dq[6]; // last six quantised differences, floating format
    int16_t sr[2]; // last two reconstructed signals, floating format
    int16_t td;    // tone detected
};

// The standard's reset state.
void g721_reset(g721_state& s);

// Decodes one code (0..15); returns the reconstructed signal (-8192..8191).
int g721_decode(g721_state& s, int code);

} // namespace pcmkit
