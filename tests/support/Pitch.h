// The fundamental frequency of a tone rich in overtones (where counting zero
// crossings would hear the overtones), by autocorrelation.
#pragma once

#include <cstdint>
#include <vector>

namespace testsupport {

// One side of interleaved stereo frames over [from, to); searches 50 Hz to 2 kHz.
// 0 when the range holds no periodic sound.
double FundamentalHz(const std::vector<int16_t>& stereo, int side, long from, long to, unsigned rate = 44100);

} // namespace testsupport
