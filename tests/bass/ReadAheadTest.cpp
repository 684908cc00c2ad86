// The read-ahead between a file's decoder and its channel must be invisible:
// the same frames in the same order whatever pieces the mixer asks for, the
// end where the decoder ends, and seeks that land where they say.

#include "bass/ReadAhead.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

// Frame i holds i (and -i on the right), up to a fixed length; seeks past the
// end are refused.
class RampDecoder final : public bass::Source {
  public:
    RampDecoder(unsigned channels, uint64_t length, std::vector<std::size_t>& asks)
        : channels_(channels), length_(length), asks_(asks)
    {
    }

    std::size_t read(int16_t* out, std::size_t frames) override
    {
        asks_.push_back(frames);
        std::size_t n = 0;
        for (; n < frames && position_ < length_; ++n, ++position_) {
            out[n * channels_] = int16_t(position_);
            if (channels_ == 2)
                out[n * 2 + 1] = int16_t(-int64_t(position_));
        }
        return n;
    }

    bool seek(uint64_t frame) override
    {
        if (frame > length_)
            return false;
        position_ = frame;
        return true;
    }

  private:
    unsigned channels_;
    uint64_t length_;
    uint64_t position_ = 0;
    std::vector<std::size_t>& asks_;
};

constexpr std::size_t kBurst = 1000;

// Reads in pieces of random size until a short read; returns all frames read.
std::vector<int16_t> ReadInPieces(bass::Source& source, unsigned channels, std::mt19937& random)
{
    std::vector<int16_t> all;
    std::uniform_int_distribution<std::size_t> size(1, 2 * kBurst + 7);
    for (;;) {
        const std::size_t ask = size(random);
        std::vector<int16_t> piece(ask * channels);
        const std::size_t got = source.read(piece.data(), ask);
        all.insert(all.end(), piece.begin(), piece.begin() + std::ptrdiff_t(got * channels));
        if (got < ask)
            return all;
    }
}

void ExpectRampFrom(const int16_t* frames, std::size_t count, unsigned channels, uint64_t first)
{
    for (std::size_t i = 0; i < count; ++i) {
        ASSERT_EQ(frames[i * channels], int16_t(first + i)) << "frame " << i;
        if (channels == 2)
            ASSERT_EQ(frames[i * 2 + 1], int16_t(-int64_t(first + i))) << "frame " << i;
    }
}

TEST(ReadAhead, HandsOnEveryFrameOnceWhateverPiecesAreAskedFor)
{
    std::mt19937 random(7);
    // Lengths that end inside a burst, on its edge and before the first one fills.
    for (unsigned channels : {1u, 2u}) {
        for (uint64_t length : {uint64_t(0), uint64_t(999), uint64_t(3 * kBurst), uint64_t(5 * kBurst + 321)}) {
            SCOPED_TRACE(testing::Message() << channels << " channels, " << length << " frames");
            std::vector<std::size_t> asks;
            bass::ReadAheadSource source(std::make_unique<RampDecoder>(channels, length, asks), channels, kBurst);
            const std::vector<int16_t> all = ReadInPieces(source, channels, random);
            ASSERT_EQ(all.size(), length * channels);
            ExpectRampFrom(all.data(), length, channels, 0);
            // The decoder was asked for whole bursts only, and once more after
            // its end only when the end fell on a burst's edge.
            for (std::size_t ask : asks)
                EXPECT_EQ(ask, kBurst);
            EXPECT_EQ(asks.size(), length / kBurst + 1);
            // At the end it stays at the end, without asking the decoder again.
            int16_t more[4];
            EXPECT_EQ(source.read(more, 2), 0u);
            EXPECT_EQ(asks.size(), length / kBurst + 1);
        }
    }
}

TEST(ReadAhead, SeeksDropTheBufferAndAFailedSeekLosesNothing)
{
    std::vector<std::size_t> asks;
    const uint64_t length = 4 * kBurst;
    bass::ReadAheadSource source(std::make_unique<RampDecoder>(2, length, asks), 2, kBurst);
    std::vector<int16_t> frames(2 * kBurst * 2);

    ASSERT_EQ(source.read(frames.data(), 10), 10u);
    ASSERT_TRUE(source.seek(2500));
    ASSERT_EQ(source.read(frames.data(), 600), 600u); // across a burst's edge of the decoder
    ExpectRampFrom(frames.data(), 600, 2, 2500);

    // The decoder refuses: reading goes on right after the last frame handed on.
    EXPECT_FALSE(source.seek(length + 1));
    ASSERT_EQ(source.read(frames.data(), 5), 5u);
    ExpectRampFrom(frames.data(), 5, 2, 3100);

    // From the end, a seek back makes the stream readable again.
    std::mt19937 random(3);
    ReadInPieces(source, 2, random);
    ASSERT_TRUE(source.seek(0));
    const std::vector<int16_t> again = ReadInPieces(source, 2, random);
    ASSERT_EQ(again.size(), length * 2);
    ExpectRampFrom(again.data(), length, 2, 0);
}

} // namespace
