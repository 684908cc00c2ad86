// Sample conversions shared by the mixer and the channels.
#pragma once

#include <emmintrin.h>

#include <cstddef>
#include <cstdint>

namespace bass {

// Float to 16-bit, rounded to nearest (ties to even) and clamped: full scale
// is 1.0 = 32768; NaN gives -32768. Clamped as float first, so that the
// conversion never overflows; max and min return the bound for a NaN.
inline int16_t ToSample(float v)
{
    const __m128 clamped =
        _mm_min_ss(_mm_max_ss(_mm_set_ss(v * 32768.0f), _mm_set_ss(-32768.0f)), _mm_set_ss(32767.0f));
    return int16_t(_mm_cvtss_si32(clamped));
}

// ToSample over a block, eight samples at a time.
inline void ToSamples(const float* in, int16_t* out, std::size_t count)
{
    const __m128 scale = _mm_set1_ps(32768.0f), low = _mm_set1_ps(-32768.0f), high = _mm_set1_ps(32767.0f);
    auto convert4 = [&](const float* p) {
        return _mm_cvtps_epi32(_mm_min_ps(_mm_max_ps(_mm_mul_ps(_mm_loadu_ps(p), scale), low), high));
    };
    std::size_t i = 0;
    for (; i + 8 <= count; i += 8)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packs_epi32(convert4(in + i), convert4(in + i + 4)));
    for (; i < count; ++i)
        out[i] = ToSample(in[i]);
}

// A volume 0..100 as a gain: 100 is unity, below it a rough loudness taper.
inline float VolumeGain(int volume)
{
    const float v = float(volume) / 100.0f;
    return v * v;
}

} // namespace bass
