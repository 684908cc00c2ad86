// The magnitudes behind BASS_DATA_FFT512, computed by FFTW. The library is
// loaded by the first spectrum asked for, so a program that plays without
// showing one never maps it, and start-up does not wait for its relocation.
#pragma once

#include <cstddef>

namespace bass {

constexpr std::size_t kSpectrumSamples = 512;

// 256 magnitudes of kSpectrumSamples `samples` under a Hann window, a sine of
// amplitude A giving about A at its bin. False when FFTW cannot be loaded.
// One caller at a time: the transform's buffers are shared, and FFTW's planner
// is not thread-safe.
bool SpectrumMagnitudes(const float* samples, float* out);

} // namespace bass
