// A device without sound hardware: it consumes the mixer's output at the
// output rate by the steady clock, on the mixing thread, and optionally writes
// it to a WAV file, so tests hear exactly what would have sounded (silence
// included).

#include "OutputDevice.h"
#include "bass.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

namespace bass {
namespace {

// A 16-bit stereo WAV file whose header sizes are patched as it grows, so the
// file is valid after every patch and complete after close.
class WavCapture {
  public:
    WavCapture(std::FILE* file, unsigned rate) : file_(file), rate_(rate) { writeHeader(); }
    ~WavCapture()
    {
        writeHeader();
        std::fclose(file_);
    }

    void append(const int16_t* frames, std::size_t count)
    {
        // A RIFF size field is 32-bit: stop before it would overflow.
        const uint64_t room = (0xFFFFFFFFull - 36 - dataBytes_) / 4;
        if (count > room)
            count = std::size_t(room);
        std::fseek(file_, 0, SEEK_END);
        dataBytes_ += std::fwrite(frames, 4, count, file_) * 4;
    }

    void writeHeader()
    {
        uint8_t h[44];
        auto put32 = [&](int at, uint32_t v) {
            for (int i = 0; i < 4; ++i)
                h[at + i] = uint8_t(v >> (8 * i));
        };
        auto put16 = [&](int at, unsigned v) {
            h[at] = uint8_t(v);
            h[at + 1] = uint8_t(v >> 8);
        };
        std::memcpy(h, "RIFF", 4);
        put32(4, uint32_t(36 + dataBytes_));
        std::memcpy(h + 8, "WAVEfmt ", 8);
        put32(16, 16);
        put16(20, 1); // PCM
        put16(22, 2);
        put32(24, rate_);
        put32(28, rate_ * 4);
        put16(32, 4);
        put16(34, 16);
        std::memcpy(h + 36, "data", 4);
        put32(40, uint32_t(dataBytes_));
        std::fseek(file_, 0, SEEK_SET);
        std::fwrite(h, 1, sizeof h, file_);
        std::fflush(file_);
    }

  private:
    std::FILE* file_;
    unsigned rate_;
    uint64_t dataBytes_ = 0;
};

class ClockDevice final : public OutputDevice {
  public:
    ClockDevice(unsigned rate, DeviceFeed& feed, std::unique_ptr<WavCapture> capture)
        : rate_(rate), tick_(DevicePeriod(capture ? kCaptureTick : kDevicePeriod, rate, feed)), feed_(feed),
          capture_(std::move(capture)), chunk_(kChunkFrames * 2)
    {
    }

    bool start() override
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (!running_) {
            running_ = true;
            begin_ = lastPatch_ = Clock::now();
            consumed_ = 0;
        }
        return true;
    }

    void stop() override
    {
        std::lock_guard<std::mutex> hold(lock_);
        running_ = false;
    }

    unsigned kind() const override { return capture_ ? BASS_DEVICE_WAV : BASS_DEVICE_NULL; }
    unsigned latencyMs() const override
    {
        return unsigned(std::chrono::duration_cast<std::chrono::milliseconds>(tick_).count());
    }

    void pace() override
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (!running_)
            return;
        const Clock::time_point now = Clock::now();
        const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(now - begin_).count();
        const uint64_t due = uint64_t(elapsed) * rate_ / 1000000;
        while (consumed_ < due) {
            const std::size_t n = std::size_t(std::min<uint64_t>(due - consumed_, kChunkFrames));
            feed_.pull(chunk_.data(), n);
            if (capture_)
                capture_->append(chunk_.data(), n);
            consumed_ += n;
        }
        if (capture_ && now - lastPatch_ > std::chrono::milliseconds(250)) {
            capture_->writeHeader(); // readable even if the process dies
            lastPatch_ = now;
        }
    }

    std::optional<TimePoint> nextTick() const override
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (!running_)
            return std::nullopt;
        // The next whole tick after what was taken, so that ticks do not drift.
        const auto taken = std::chrono::microseconds(consumed_ * 1000000 / rate_);
        return begin_ + (taken / tick_ + 1) * tick_;
    }

  private:
    using Clock = std::chrono::steady_clock;
    // One wake-up of the mixing thread per tick. A capture must never run
    // short (a late mixer would be heard as a gap in the file), so it takes
    // smaller bites; the silent device has nothing to lose and wakes half as often.
    static constexpr std::chrono::microseconds kCaptureTick{20000};
    static constexpr std::size_t kChunkFrames = 1024;

    const unsigned rate_;
    const std::chrono::microseconds tick_;
    DeviceFeed& feed_;
    std::unique_ptr<WavCapture> capture_; // lock_, and the destructor's
    mutable std::mutex lock_;             // guards everything below, and the capture
    std::vector<int16_t> chunk_;
    bool running_ = false;
    Clock::time_point begin_;     // when the clock started
    Clock::time_point lastPatch_; // when the capture's header was last written
    uint64_t consumed_ = 0;       // frames taken since begin_
};

} // namespace

std::unique_ptr<OutputDevice> OpenClockDevice(unsigned rate, DeviceFeed& feed, const std::string& capturePath)
{
    std::unique_ptr<WavCapture> capture;
    if (!capturePath.empty()) {
        std::FILE* file = std::fopen(capturePath.c_str(), "w+b");
        if (!file)
            return nullptr;
        capture = std::make_unique<WavCapture>(file, rate);
    }
    return std::make_unique<ClockDevice>(rate, feed, std::move(capture));
}

} // namespace bass
