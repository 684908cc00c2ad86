#include "playlist/Shuffle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <numeric>
#include <thread>

using namespace playlist;

namespace {

// The shuffle as the lines are moved: line i removed and inserted at below(i).
std::vector<int> movedOneByOne(int n, uint32_t seed = 0)
{
    std::vector<int> lines(size_t(std::max(n, 0)));
    std::iota(lines.begin(), lines.end(), 0);
    ShuffleGenerator generator(seed);
    for (int i = 0; i < n; ++i) {
        const int j = int(generator.below(uint32_t(i)));
        const int line = lines[size_t(i)];
        lines.erase(lines.begin() + i);
        lines.insert(lines.begin() + j, line);
    }
    return lines;
}

} // namespace

std::vector<int> ShuffleOrder(int n, uint32_t seed = 0)
{
    ShuffleGenerator generator(seed);
    return playlist::ShuffleOrder(n, generator);
}

TEST(Shuffle, MatchesMovingTheLinesOneByOne)
{
    for (int n = 0; n <= 70; ++n)
        EXPECT_EQ(ShuffleOrder(n), movedOneByOne(n)) << n;
    for (int n : {1000, 4097})
        EXPECT_EQ(ShuffleOrder(n), movedOneByOne(n)) << n;
    EXPECT_EQ(ShuffleOrder(300, 0xDEADBEEF), movedOneByOne(300, 0xDEADBEEF));
}

TEST(Shuffle, TheSeedDecidesThePermutation)
{
    const auto first = ShuffleOrder(5);
    EXPECT_EQ(ShuffleOrder(5), first);
    std::vector<int> sorted = first;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_NE(first, sorted) << "five entries do move";
}

TEST(Shuffle, OneGeneratorGivesANewOrderEachTime)
{
    ShuffleGenerator generator(12345);
    const auto first = playlist::ShuffleOrder(20, generator);
    EXPECT_NE(playlist::ShuffleOrder(20, generator), first) << "the generator is not reseeded";
    EXPECT_NE(ShuffleOrder(20, 1), ShuffleOrder(20, 2));
    // Two runs a moment apart start from different seeds.
    auto a = ShuffleGenerator::FromClock();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    auto b = ShuffleGenerator::FromClock();
    EXPECT_NE(a.below(1u << 31), b.below(1u << 31));
}
