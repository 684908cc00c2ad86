// The sound outputs the mixer can feed: the system's sound output (ALSA),
// a silent device and a WAV capture, both consuming audio on a real-time clock.
#pragma once

#include "SampleRing.h"

#include <semaphore.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace bass {

// What a device reads from. pull() is the whole of what a device callback does:
// copy from the ring, fill a shortfall with silence, wake the mixer once the
// ring has room for another block. It never blocks, allocates or locks
// (sem_post is a lock-free futex wake).
struct DeviceFeed {
    SampleRing* ring = nullptr;
    sem_t* wake = nullptr;
    std::size_t wakeBelow = 0;    // frames in the ring below which the mixer is woken
    std::size_t queuedFrames = 0; // frames the mixer keeps in the ring ahead of the device
    std::atomic<uint64_t> underrunFrames{0};

    void pull(int16_t* out, std::size_t frames) noexcept
    {
        const std::size_t got = ring->read(out, frames);
        if (got < frames) {
            std::fill(out + got * 2, out + frames * 2, int16_t(0));
            underrunFrames.fetch_add(frames - got, std::memory_order_relaxed);
        }
        if (ring->filledFrames() < wakeBelow)
            sem_post(wake);
    }
};

class OutputDevice {
  public:
    using TimePoint = std::chrono::steady_clock::time_point;

    virtual ~OutputDevice() = default;
    virtual bool start() = 0;               // begins consuming; true when running (also when it already was)
    virtual void stop() = 0;                // stops consuming; what is in the ring stays there
    virtual unsigned kind() const = 0;      // BASS_DEVICE_*
    virtual unsigned latencyMs() const = 0; // of the device itself, beyond the ring

    // A device without a clock of its own is run by the mixing thread, which
    // wakes once per tick anyway: pace() takes what is due by now, nextTick()
    // says when more will be (nothing while stopped). A device with its own
    // thread or callback has neither.
    virtual void pace() {}
    virtual std::optional<TimePoint> nextTick() const { return std::nullopt; }
};

// How much a device takes at a time, waking the mixer once for it: about
// `wanted`, long enough to be cheap, but at most half of what the mixer keeps
// queued (at high rates the queue is shorter than that), or the device would
// run short on every period and play slower than real time.
inline std::chrono::microseconds DevicePeriod(std::chrono::microseconds wanted, unsigned rate, const DeviceFeed& feed)
{
    const auto halfQueue = std::chrono::microseconds(int64_t(feed.queuedFrames / 2) * 1000000 / rate);
    return std::min(wanted, halfQueue);
}

// The period of the silent device and of the system's sound output.
constexpr std::chrono::microseconds kDevicePeriod{40000};

// Silent (capturePath empty) or capturing real-time device, paced by the mixing thread.
std::unique_ptr<OutputDevice> OpenClockDevice(unsigned rate, DeviceFeed& feed, const std::string& capturePath);
// The system's default output; null when ALSA's library is missing. A card
// that is not there, or fails, is looked for again while sound is wanted.
std::unique_ptr<OutputDevice> OpenSoundDevice(unsigned rate, DeviceFeed& feed);

} // namespace bass
