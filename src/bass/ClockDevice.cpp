// A device without sound hardware: a thread consumes the mixer's output at the
// output rate by the steady clock, and optionally writes it to a WAV file, so
// tests hear exactly what would have sounded (silence included).

#include "OutputDevice.h"
#include "bass.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>
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
        : rate_(rate), tickMs_(capture ? kCaptureTickMs : kSilentTickMs), feed_(feed), capture_(std::move(capture))
    {
    }
    ~ClockDevice() override { stop(); }

    bool start() override
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (!thread_.joinable()) {
            quit_ = false;
            thread_ = std::thread([this] { run(); });
        }
        return true;
    }

    void stop() override
    {
        {
            std::lock_guard<std::mutex> hold(lock_);
            if (!thread_.joinable())
                return;
            quit_ = true;
        }
        wakeup_.notify_all();
        thread_.join();
        thread_ = std::thread();
    }

    unsigned kind() const override { return capture_ ? BASS_DEVICE_WAV : BASS_DEVICE_NULL; }
    unsigned latencyMs() const override { return unsigned(tickMs_); }

  private:
    // One wake-up of this thread and of the mixer per tick: long enough to be
    // cheap, short against the 116-ms queue. A capture must never run short
    // (a late mixer would be heard as a gap in the file), so it takes smaller
    // bites; the silent device has nothing to lose and wakes half as often.
    static constexpr int kCaptureTickMs = 20;
    static constexpr int kSilentTickMs = 40;
    static constexpr std::size_t kChunkFrames = 4096; // a whole tick in one pull, one wake-up of the mixer

    void run()
    {
        using Clock = std::chrono::steady_clock;
        std::vector<int16_t> chunk(kChunkFrames * 2);
        const Clock::time_point begin = Clock::now();
        Clock::time_point lastPatch = begin;
        uint64_t consumed = 0;
        std::unique_lock<std::mutex> hold(lock_);
        while (!quit_) {
            hold.unlock();
            const Clock::time_point now = Clock::now();
            const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(now - begin).count();
            const uint64_t due = uint64_t(elapsed) * rate_ / 1000000;
            while (consumed < due) {
                const std::size_t n = std::size_t(std::min<uint64_t>(due - consumed, kChunkFrames));
                feed_.pull(chunk.data(), n);
                if (capture_)
                    capture_->append(chunk.data(), n);
                consumed += n;
            }
            if (capture_ && now - lastPatch > std::chrono::milliseconds(250)) {
                capture_->writeHeader(); // readable even if the process dies
                lastPatch = now;
            }
            hold.lock();
            // Condition: quit_ set by stop(); otherwise the next tick.
            wakeup_.wait_for(hold, std::chrono::milliseconds(tickMs_), [this] { return quit_; });
        }
    }

    const unsigned rate_;
    const int tickMs_;
    DeviceFeed& feed_;
    std::unique_ptr<WavCapture> capture_; // touched by the clock thread, and by the destructor after stop()
    std::mutex lock_;                     // guards quit_ and the thread_ object
    std::condition_variable wakeup_;
    bool quit_ = false;
    std::thread thread_;
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
