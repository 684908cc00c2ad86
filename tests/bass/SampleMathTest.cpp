// Float to 16-bit conversion: rounding, clamping and odd values, one sample at
// a time and in blocks, against the plain rounding of the C library.

#include "bass/SampleMath.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

int16_t Reference(float v)
{
    if (std::isnan(v))
        return -32768;
    const float scaled = v * 32768.0f;
    if (scaled >= 32767.0f)
        return 32767;
    if (scaled <= -32768.0f)
        return -32768;
    return int16_t(std::lrint(scaled)); // ties to even
}

std::vector<float> Awkward()
{
    const float inf = std::numeric_limits<float>::infinity();
    std::vector<float> v = {0.0f,
                            -0.0f,
                            1.0f,
                            -1.0f,
                            32767.0f / 32768,
                            32767.5f / 32768,
                            32766.5f / 32768,
                            -1.5f,
                            2.0f,
                            1e30f,
                            -1e30f,
                            inf,
                            -inf,
                            std::nanf(""),
                            1e-40f,
                            -1e-40f,
                            0.5f / 32768,
                            1.5f / 32768,
                            2.5f / 32768,
                            -0.5f / 32768,
                            -2.5f / 32768};
    // A sweep through the whole range and past both ends, off the sample grid.
    for (int i = -70000; i <= 70000; i += 7)
        v.push_back(float(i) * 0.49f / 32768);
    return v;
}

TEST(SampleMath, ConvertsAsRoundingAndClampingWould)
{
    const std::vector<float> in = Awkward();
    for (float v : in)
        EXPECT_EQ(bass::ToSample(v), Reference(v)) << "value " << v;
    // Every block length, so that the eight-wide part and the rest both meet every value.
    for (std::size_t length :
         {std::size_t(1), std::size_t(7), std::size_t(8), std::size_t(9), std::size_t(23), in.size()}) {
        for (std::size_t at = 0; at + length <= in.size(); at += std::max<std::size_t>(length, 5)) {
            std::vector<int16_t> out(length + 1, 0x5555);
            bass::ToSamples(in.data() + at, out.data(), length);
            for (std::size_t i = 0; i < length; ++i)
                ASSERT_EQ(out[i], Reference(in[at + i])) << "value " << in[at + i] << " at " << i << " of " << length;
            EXPECT_EQ(out[length], 0x5555) << "wrote past the block";
        }
    }
}

} // namespace
