// The spectrum's transform: small enough (512 points, a few times a second)
// that a plain radix-2 FFT does, without a library to load at start.
#pragma once

#include <cstddef>

namespace bass {

// The magnitudes of bins 0 .. n/2 - 1 of the discrete Fourier transform of n
// real samples; n is a power of two.
void FftMagnitudes(const float* samples, std::size_t n, float* magnitudes);

} // namespace bass
