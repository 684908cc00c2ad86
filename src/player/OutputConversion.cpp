#include "OutputConversion.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace player {
namespace {

// Left and right gains of each channel, by channel count, in the usual WAVE
// order (front left, front right, centre, LFE, back, side); the LFE is left out.
struct Gains {
    float left;
    float right;
};
constexpr float kHalfPower = 0.70710678f;
constexpr Gains kL{1, 0}, kR{0, 1}, kC{kHalfPower, kHalfPower}, kLfe{0, 0}, kSL{kHalfPower, 0}, kSR{0, kHalfPower},
    kSC{0.5f, 0.5f};
constexpr std::array<std::array<Gains, kMaxOutputChannels>, kMaxOutputChannels + 1> kDownmix{{
    {},
    {},
    {},
    {{kL, kR, kC}},
    {{kL, kR, kSL, kSR}},
    {{kL, kR, kC, kSL, kSR}},
    {{kL, kR, kC, kLfe, kSL, kSR}},
    {{kL, kR, kC, kLfe, kSC, kSL, kSR}},
    {{kL, kR, kC, kLfe, kSL, kSR, kSL, kSR}},
}};

// The top 16 bits of a sample (8-bit samples are unsigned and widened).
int topBits(const char* sample, int bytes)
{
    if (bytes == 1)
        return (int(uint8_t(sample[0])) - 128) * 256;
    int16_t v;
    std::memcpy(&v, sample + bytes - 2, 2);
    return v;
}

} // namespace

void ConvertFrames(const char* in, int frames, const PcmLayout& from, short* out)
{
    const int bytes = from.sampleBytes();
    if (from.channels <= 2) {
        for (int i = 0; i < frames * from.channels; ++i)
            out[i] = short(topBits(in + i * bytes, bytes));
        return;
    }
    const auto& gains = kDownmix[std::size_t(from.channels)];
    // Scaled so that the same full-scale signal in every channel stays full scale.
    float total = 0;
    for (int c = 0; c < from.channels; ++c)
        total += gains[std::size_t(c)].left;
    for (int f = 0; f < frames; ++f) {
        float left = 0, right = 0;
        for (int c = 0; c < from.channels; ++c) {
            const float v = float(topBits(in + (f * from.channels + c) * bytes, bytes));
            left += v * gains[std::size_t(c)].left;
            right += v * gains[std::size_t(c)].right;
        }
        out[f * 2] = short(std::clamp(std::lround(left / total), -32768L, 32767L));
        out[f * 2 + 1] = short(std::clamp(std::lround(right / total), -32768L, 32767L));
    }
}

} // namespace player
