// Mu-law and A-law (G.711) expanded by table in the codec manager itself: the
// commonest compressed data of AU, VOC and WAV files then needs no codec
// library, and a table lookup is all a sample costs.
#pragma once

#include "AcmCodecs.h"

namespace acm {

// The 16-bit values of a companded format's 256 codes; null for other tags.
const int16_t* CompandingTable(int tag);

// Expands the whole frames of src that fit dst into PCM of dstBits (8, 16, 24
// or 32). A partial frame is kept for the next call, or dropped at the end.
Conversion ExpandCompanded(const int16_t* table, int channels, int dstBits, const uint8_t* src, std::size_t srcSize,
                           uint8_t* dst, std::size_t dstCapacity, bool end);

} // namespace acm
