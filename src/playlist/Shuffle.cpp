#include "Shuffle.h"

#include <chrono>

namespace playlist {

ShuffleGenerator ShuffleGenerator::FromClock()
{
    const auto ticks = std::chrono::system_clock::now().time_since_epoch().count();
    return ShuffleGenerator(uint32_t(uint64_t(ticks) ^ (uint64_t(ticks) >> 32)));
}

std::vector<int> ShuffleOrder(int n, ShuffleGenerator& generator)
{
    if (n <= 0)
        return {};
    // Line i is still at position i when its turn comes (earlier moves only
    // reorder the lines before it), so the moves amount to inserting entry i
    // at position j[i] of a growing list.
    std::vector<uint32_t> target(n);
    for (int i = 0; i < n; ++i)
        target[i] = generator.below(uint32_t(i));

    // Placed last to first, entry i takes the j[i]-th still free slot. A
    // Fenwick tree over free slots finds it in log n.
    std::vector<int> tree(n + 1, 0);
    for (int k = 1; k <= n; ++k) {
        tree[k] += 1;
        if (const int parent = k + (k & -k); parent <= n)
            tree[parent] += tree[k];
    }
    int topBit = 1;
    while (topBit * 2 <= n)
        topBit *= 2;

    std::vector<int> order(n);
    for (int i = n - 1; i >= 0; --i) {
        int rank = int(target[i]) + 1; // the rank-th free slot, counted from 1
        int slot = 0;
        for (int bit = topBit; bit > 0; bit /= 2) {
            if (slot + bit <= n && tree[slot + bit] < rank) {
                slot += bit;
                rank -= tree[slot];
            }
        }
        order[slot] = i; // slot is 0-based here: the free slot is slot + 1 in the tree
        for (int k = slot + 1; k <= n; k += k & -k)
            tree[k] -= 1;
    }
    return order;
}

} // namespace playlist
