// The 25 spectrum bands drawn by the main window, from the engine's 512-sample
// FFT (bin k is k x 44100 / 512 Hz at the output rate), with a falling peak.
#pragma once

#include <array>
#include <cstdint>

namespace player {

constexpr int kBandCount = 25;
using TBandOut = std::array<uint16_t, kBandCount>;

// Bins read from the FFT: 1..180.
constexpr int kSpectrumBins = 181;

// Band i covers the bins after band i-1's last bin up to kBandUpperBin[i]; band 0 starts at bin 1.
constexpr std::array<int, kBandCount> kBandUpperBin{1,  2,  3,  6,  12, 18, 24,  30,  36,  42,  48,  54, 60,
                                                    66, 72, 78, 84, 90, 96, 102, 108, 120, 132, 156, 180};

// One tick: each band's new level is its loudest bin, weighted up toward the
// high bands; a held value falls by 2 per tick but never below the new level.
void UpdateBands(TBandOut& bands, const float* fft);

} // namespace player
