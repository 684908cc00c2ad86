#include "playlist/Shuffle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

using namespace playlist;

namespace {

// The shuffle as the lines are moved: line i removed and inserted at below(i).
std::vector<int> movedOneByOne(int n)
{
    std::vector<int> lines(size_t(std::max(n, 0)));
    std::iota(lines.begin(), lines.end(), 0);
    ShuffleGenerator generator;
    for (int i = 0; i < n; ++i) {
        const int j = int(generator.below(uint32_t(i)));
        const int line = lines[size_t(i)];
        lines.erase(lines.begin() + i);
        lines.insert(lines.begin() + j, line);
    }
    return lines;
}

} // namespace

TEST(Shuffle, MatchesMovingTheLinesOneByOne)
{
    for (int n = 0; n <= 70; ++n)
        EXPECT_EQ(ShuffleOrder(n), movedOneByOne(n)) << n;
    for (int n : {1000, 4097})
        EXPECT_EQ(ShuffleOrder(n), movedOneByOne(n)) << n;
}

TEST(Shuffle, SameLengthGivesTheSamePermutation)
{
    const auto first = ShuffleOrder(5);
    EXPECT_EQ(ShuffleOrder(5), first);
    std::vector<int> sorted = first;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_NE(first, sorted) << "five entries do move";
}
