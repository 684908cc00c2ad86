// Sample conversions shared by the mixer and the channels.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace bass {

// Float to 16-bit, rounded and clamped: full scale is 1.0 = 32768.
inline int16_t ToSample(float v)
{
    const long s = std::lrint(v * 32768.0f);
    return int16_t(std::clamp(s, -32768L, 32767L));
}

// A volume 0..100 as a gain: 100 is unity, below it a rough loudness taper.
inline float VolumeGain(int volume)
{
    const float v = float(volume) / 100.0f;
    return v * v;
}

} // namespace bass
