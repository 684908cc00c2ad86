// The playlist's shuffle: a 32-bit linear congruential generator, seeded once
// per program run, so every shuffle of a run and every run differ.
#pragma once

#include <cstdint>
#include <vector>

namespace playlist {

class ShuffleGenerator {
  public:
    explicit ShuffleGenerator(uint32_t seed = 0) : seed_(seed) {}
    // Seeded from the clock.
    static ShuffleGenerator FromClock();
    // seed := seed * 134775813 + 1; the draw is the upper half of seed * n.
    uint32_t below(uint32_t n)
    {
        seed_ = seed_ * 134775813u + 1u;
        return uint32_t((uint64_t(seed_) * n) >> 32);
    }

  private:
    uint32_t seed_;
};

// The order after moving, for i = 0 to n - 1, line i to position
// generator.below(i): element k is the old index of the entry now at k.
// Computed without moving lines, so a long list shuffles in n log n.
std::vector<int> ShuffleOrder(int n, ShuffleGenerator& generator);

} // namespace playlist
