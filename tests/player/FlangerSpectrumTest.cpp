// The flanger and the spectrum's falling peaks as pure computations: known answers.

#include "player/FFTBands.h"
#include "player/Flanger.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

using namespace player;

TEST(Flanger, ImpulseReturnsAfterTheCursorDelay)
{
    // The cursor starts at 175.0 and grows by 0.002 per frame: frame n reads
    // slot (175 + n) mod 350, between two slots by the cursor's fraction.
    FlangerState state;
    std::vector<int16_t> frames(400 * 2, 0);
    frames[0] = 10000;
    frames[1] = -10000;
    FlangerProcess(state, frames.data(), 400);
    EXPECT_EQ(frames[0], 10000);
    EXPECT_NEAR(frames[174 * 2], 3480, 5); // cursor 175.348: slots 349 and 0
    EXPECT_NEAR(frames[175 * 2], 6500, 5); // cursor 175.350: slots 0 and 1
    EXPECT_NEAR(frames[175 * 2 + 1], -6500, 5);
    for (std::size_t i = 2; i < frames.size(); ++i)
        EXPECT_TRUE(frames[i] == 0 || i / 2 == 174 || i / 2 == 175) << i / 2;
    EXPECT_EQ(state.writeIndex, 50);
}

TEST(SpectrumBands, HeldValuesFallByTwoPerTickButNotBelowTheNewLevel)
{
    std::array<float, 256> fft{};
    fft[11] = 0.1f;  // bins 7..12 make band 4: 1.6 x 0.1 x 80 = 12.8
    fft[181] = 9.0f; // beyond the last band
    TBandOut bands{};
    UpdateBands(bands, fft.data());
    EXPECT_EQ(bands[4], 13);
    EXPECT_EQ(bands[24], 0);
    fft.fill(0);
    std::vector<int> seen;
    for (int tick = 0; tick < 8; ++tick) {
        UpdateBands(bands, fft.data());
        seen.push_back(bands[4]);
    }
    EXPECT_EQ(seen, (std::vector<int>{11, 9, 7, 5, 3, 1, 0, 0}));
    bands[4] = 20;
    fft[12] = 0.15f; // a new level of 19 stops the fall there
    UpdateBands(bands, fft.data());
    EXPECT_EQ(bands[4], 19);
}
