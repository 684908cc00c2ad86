// The flanger and the spectrum bands as pure computations: known answers.

#include "player/Flanger.h"
#include "player/Spectrum.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

using namespace player;

namespace {

std::vector<int16_t> Frames(std::size_t count, int16_t left, int16_t right)
{
    std::vector<int16_t> out(count * 2);
    for (std::size_t i = 0; i < count; ++i) {
        out[i * 2] = left;
        out[i * 2 + 1] = right;
    }
    return out;
}

} // namespace

TEST(Flanger, SilenceStaysSilent)
{
    FlangerState state;
    std::vector<int16_t> frames = Frames(5000, 0, 0);
    FlangerProcess(state, frames.data(), 5000);
    EXPECT_TRUE(std::all_of(frames.begin(), frames.end(), [](int16_t s) { return s == 0; }));
}

TEST(Flanger, FullScaleClampsInsteadOfWrapping)
{
    FlangerState state;
    std::vector<int16_t> frames = Frames(2000, 32767, -32768);
    FlangerProcess(state, frames.data(), 2000);
    // Before the delay is filled the input passes; after it, input plus delayed input saturates.
    for (std::size_t i = 0; i < 2000; ++i) {
        ASSERT_EQ(frames[i * 2], 32767) << i;
        ASSERT_EQ(frames[i * 2 + 1], -32768) << i;
    }
    // -32767 + -32767 is below -32767: the clamp gives -32768, never a wrapped positive.
    FlangerState other;
    std::vector<int16_t> low = Frames(400, -32767, 30000);
    FlangerProcess(other, low.data(), 400);
    EXPECT_EQ(low[399 * 2], -32768);
    EXPECT_EQ(low[399 * 2 + 1], 32767);
}

TEST(Flanger, ImpulseReturnsAfterTheCursorDelay)
{
    // The cursor starts at 175.0 and grows by 0.002 per frame: frame n reads
    // slot (175 + n) mod 350, interpolated by the cursor's fraction.
    FlangerState state;
    std::vector<int16_t> frames = Frames(400, 0, 0);
    frames[0] = 10000;
    frames[1] = -10000;
    FlangerProcess(state, frames.data(), 400);
    EXPECT_EQ(frames[0], 10000);
    for (std::size_t i = 1; i < 400; ++i) {
        if (i == 174 || i == 175)
            continue;
        ASSERT_EQ(frames[i * 2], 0) << i;
    }
    // Frame 174: cursor about 175.348 (float steps), slots 349 and 0 -> 0.348 of the impulse.
    EXPECT_NEAR(frames[174 * 2], 3480, 5);
    EXPECT_NEAR(frames[174 * 2 + 1], -3480, 5);
    // Frame 175: cursor about 175.35, slots 0 and 1 -> 0.65 of the impulse.
    EXPECT_NEAR(frames[175 * 2], 6500, 5);
    EXPECT_NEAR(frames[175 * 2 + 1], -6500, 5);
    EXPECT_EQ(state.writeIndex, 400 % 350);
}

TEST(Flanger, CursorTurnsAtTheEndsOfTheRing)
{
    FlangerState state;
    state.cursor = 349.999f;
    std::vector<int16_t> frames = Frames(2, 0, 0);
    FlangerProcess(state, frames.data(), 2);
    EXPECT_LT(state.step, 0.0f);
    state.cursor = 0.001f;
    FlangerProcess(state, frames.data(), 2);
    EXPECT_GT(state.step, 0.0f);
}

TEST(SpectrumBands, LoudestBinOfEachBandWeightedByItsIndex)
{
    std::array<float, 256> fft{};
    fft[1] = 0.5f;   // band 0 (bin 1): 1.00 x 0.5 x 80 = 40
    fft[11] = 0.25f; // band 4 (bins 7..12): 1.60 x 0.25 x 80 = 32
    fft[12] = 0.1f;
    fft[180] = 1.0f; // band 24 (bins 157..180): 4.60 x 80 = 368
    fft[181] = 9.0f; // beyond the last band: ignored
    TBandOut bands{};
    UpdateBands(bands, fft.data());
    EXPECT_EQ(bands[0], 40);
    EXPECT_EQ(bands[4], 32);
    EXPECT_EQ(bands[24], 368);
    EXPECT_EQ(bands[1], 0);
    EXPECT_EQ(bands[23], 0);
}

TEST(SpectrumBands, HeldValuesFallByTwoPerTickButNotBelowTheNewLevel)
{
    std::array<float, 256> fft{};
    fft[11] = 0.1f; // band 4: 1.6 x 0.1 x 80 = 12.8 -> 13
    TBandOut bands{};
    UpdateBands(bands, fft.data());
    ASSERT_EQ(bands[4], 13);
    fft.fill(0);
    std::vector<int> seen;
    for (int tick = 0; tick < 8; ++tick) {
        UpdateBands(bands, fft.data());
        seen.push_back(bands[4]);
    }
    EXPECT_EQ(seen, (std::vector<int>{11, 9, 7, 5, 3, 1, 0, 0}));

    bands[4] = 20;
    fft[11] = 0.15f; // new level 19: the fall stops there
    UpdateBands(bands, fft.data());
    EXPECT_EQ(bands[4], 19);
    UpdateBands(bands, fft.data());
    EXPECT_EQ(bands[4], 19);
}

TEST(SpectrumBands, BandsTileBinsOneToOneEighty)
{
    int previous = 0;
    for (int upper : kBandUpperBin) {
        EXPECT_GT(upper, previous);
        previous = upper;
    }
    EXPECT_EQ(kBandUpperBin.front(), 1);
    EXPECT_EQ(kBandUpperBin.back(), kSpectrumBins - 1);
}
