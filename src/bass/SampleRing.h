// Single-producer single-consumer ring of 16-bit stereo frames between the
// mixing thread (writer) and the device (reader). Lock-free: each side owns one
// index and publishes it with release, reads the other's with acquire.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

namespace bass {

class SampleRing {
  public:
    // capacityFrames is rounded up to a power of two.
    explicit SampleRing(std::size_t capacityFrames)
    {
        capacity_ = 1;
        while (capacity_ < capacityFrames)
            capacity_ <<= 1;
        frames_ = std::make_unique<int16_t[]>(capacity_ * 2);
    }

    std::size_t capacity() const { return capacity_; }

    // Writer side.
    std::size_t freeFrames() const
    {
        return capacity_ - (write_.load(std::memory_order_relaxed) - read_.load(std::memory_order_acquire));
    }
    std::size_t write(const int16_t* src, std::size_t count)
    {
        const std::size_t w = write_.load(std::memory_order_relaxed);
        const std::size_t r = read_.load(std::memory_order_acquire);
        if (count > capacity_ - (w - r))
            count = capacity_ - (w - r);
        copyIn(w, src, count);
        write_.store(w + count, std::memory_order_release);
        return count;
    }

    // Frames written since the start (writer side), frames read since the start (either side).
    uint64_t written() const { return write_.load(std::memory_order_relaxed); }
    uint64_t consumed() const { return read_.load(std::memory_order_acquire); }

    // Reader side: never blocks, never allocates.
    std::size_t filledFrames() const
    {
        return write_.load(std::memory_order_acquire) - read_.load(std::memory_order_relaxed);
    }
    std::size_t read(int16_t* dst, std::size_t count)
    {
        const std::size_t r = read_.load(std::memory_order_relaxed);
        const std::size_t w = write_.load(std::memory_order_acquire);
        if (count > w - r)
            count = w - r;
        copyOut(r, dst, count);
        read_.store(r + count, std::memory_order_release);
        return count;
    }

  private:
    void copyIn(std::size_t at, const int16_t* src, std::size_t count)
    {
        const std::size_t start = at & (capacity_ - 1);
        const std::size_t first = std::min(count, capacity_ - start);
        std::memcpy(&frames_[start * 2], src, first * 4);
        std::memcpy(&frames_[0], src + first * 2, (count - first) * 4);
    }
    void copyOut(std::size_t at, int16_t* dst, std::size_t count) const
    {
        const std::size_t start = at & (capacity_ - 1);
        const std::size_t first = std::min(count, capacity_ - start);
        std::memcpy(dst, &frames_[start * 2], first * 4);
        std::memcpy(dst + first * 2, &frames_[0], (count - first) * 4);
    }

    std::size_t capacity_;
    std::unique_ptr<int16_t[]> frames_;
    // Free-running frame counters; their difference is the fill.
    alignas(64) std::atomic<std::size_t> write_{0};
    alignas(64) std::atomic<std::size_t> read_{0};
};

} // namespace bass
