#include "EngineHarness.h"

#include "support/ByteBuilder.h"

#include <gtest/gtest.h>

#include <dirent.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <numbers>
#include <random>
#include <string>
#include <thread>

namespace enginetest {

void WriteWav(const std::string& path, unsigned rate, unsigned channels, const Samples& samples)
{
    testsupport::ByteBuilder b;
    const uint32_t dataBytes = uint32_t(samples.size() * 2);
    b.text("RIFF").u32le(36 + dataBytes).text("WAVE");
    b.text("fmt ").u32le(16).u16le(1).u16le(channels).u32le(rate).u32le(rate * channels * 2).u16le(channels * 2);
    b.u16le(16).text("data").u32le(dataBytes);
    for (int16_t s : samples)
        b.u16le(uint16_t(s));
    b.writeTo(path);
}

Samples Noise(long frames, unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> value(-20000, 20000);
    Samples out(std::size_t(frames) * 2);
    for (auto& s : out) {
        s = int16_t(value(random));
        if (s == 0)
            s = 1;
    }
    return out;
}

Samples Sine(unsigned rate, unsigned channels, double hz, double seconds, double amplitude)
{
    const long frames = std::lround(rate * seconds);
    Samples out;
    out.reserve(std::size_t(frames) * channels);
    for (long i = 0; i < frames; ++i) {
        const auto s = int16_t(std::lround(32767 * amplitude * std::sin(2 * std::numbers::pi * hz * i / rate)));
        for (unsigned c = 0; c < channels; ++c)
            out.push_back(s);
    }
    return out;
}

CaptureSession::CaptureSession()
{
    setenv("ORVELLA_AUDIO", ("wav:" + dir_.file("capture.wav")).c_str(), 1);
    running_ = BASS_Init(-1, 44100, 0, nullptr) && BASS_Start();
    EXPECT_TRUE(running_) << "engine error " << BASS_ErrorGetCode();
}

CaptureSession::~CaptureSession()
{
    if (running_)
        BASS_Free();
    setenv("ORVELLA_AUDIO", "null", 1);
}

Samples CaptureSession::finish()
{
    if (running_) {
        EXPECT_TRUE(BASS_Free());
    }
    running_ = false;
    return ReadCapture(dir_.file("capture.wav"));
}

Samples ReadCapture(const std::string& path)
{
    const std::string bytes = testsupport::ReadFile(path);
    Samples out;
    if (bytes.size() < 44) {
        ADD_FAILURE() << "no capture written";
        return out;
    }
    uint32_t dataBytes;
    std::memcpy(&dataBytes, bytes.data() + 40, 4);
    EXPECT_EQ(dataBytes, bytes.size() - 44) << "header sizes not patched";
    out.resize((bytes.size() - 44) / 2);
    std::memcpy(out.data(), bytes.data() + 44, out.size() * 2);
    return out;
}

// A one-pattern ProTracker module: one looped square-wave sample, one note at
// speed 1, and a pattern break after 32 rows: 32 ticks of 20 ms.
std::string TinyModule()
{
    testsupport::ByteBuilder b;
    b.fixed("engine test", 20);
    b.fixed("square", 22).u16be(16).u8(0).u8(64).u16be(0).u16be(16); // 32 bytes, volume 64, looped
    for (int i = 1; i < 31; ++i)
        b.zeros(22).u16be(0).u8(0).u8(0).u16be(0).u16be(1);
    b.u8(1).u8(127);
    b.zeros(128); // order list: pattern 0
    b.text("M.K.");
    for (int row = 0; row < 64; ++row)
        for (int channel = 0; channel < 4; ++channel) {
            if (row == 0 && channel == 0)
                b.u8(0x00).u8(0xD6).u8(0x1F).u8(0x01); // sample 1, period 214, speed 1
            else if (row == 31 && channel == 1)
                b.u8(0x00).u8(0x00).u8(0x0D).u8(0x00); // pattern break: the song ends
            else
                b.zeros(4);
        }
    for (int i = 0; i < 32; ++i)
        b.u8(i < 16 ? 0x60 : 0xA0);
    return b.str();
}

void EndWaiter::Proc(HSYNC, DWORD, DWORD, void* user)
{
    auto* self = static_cast<EndWaiter*>(user);
    std::lock_guard<std::mutex> hold(self->lock_);
    ++self->count_;
    self->changed_.notify_all();
}

bool EndWaiter::waitFor(int count, int seconds)
{
    std::unique_lock<std::mutex> hold(lock_);
    // Condition: count_ reached; the limit only keeps a broken engine from hanging the suite.
    return changed_.wait_for(hold, std::chrono::seconds(seconds), [&] { return count_ >= count; });
}

int EndWaiter::count()
{
    std::lock_guard<std::mutex> hold(lock_);
    return count_;
}

namespace {

// Context switches of every thread of this process so far.
long ContextSwitches()
{
    long total = 0;
    DIR* tasks = opendir("/proc/self/task");
    while (dirent* task = tasks ? readdir(tasks) : nullptr) {
        if (task->d_name[0] == '.')
            continue;
        std::ifstream status(std::string("/proc/self/task/") + task->d_name + "/status");
        for (std::string line; std::getline(status, line);)
            if (line.find("ctxt_switches:") != std::string::npos)
                total += std::stol(line.substr(line.find(':') + 1));
    }
    if (tasks)
        closedir(tasks);
    return total;
}

} // namespace

long WakeupsDuring(std::chrono::milliseconds time)
{
    const long before = ContextSwitches();
    std::this_thread::sleep_for(time);
    return ContextSwitches() - before - 2; // this thread's own sleep, and reading the counts
}

double PlayFileToEnd(const std::string& path)
{
    const HSTREAM stream = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, 0);
    EXPECT_NE(stream, 0u) << path << ": error " << BASS_ErrorGetCode();
    EndWaiter end;
    BASS_ChannelSetSync(stream, BASS_SYNC_END, 0, &EndWaiter::Proc, &end);
    const auto started = std::chrono::steady_clock::now();
    const bool ended = BASS_StreamPlay(stream, FALSE, 0) && end.waitFor(1);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_TRUE(ended) << path;
    BASS_StreamFree(stream);
    return ended ? seconds : -1;
}

long FirstSoundFrame(const Samples& stereo)
{
    for (std::size_t i = 0; i < stereo.size(); ++i)
        if (stereo[i] != 0)
            return long(i / 2);
    return -1;
}

long LastSoundFrame(const Samples& stereo)
{
    for (std::size_t i = stereo.size(); i-- > 0;)
        if (stereo[i] != 0)
            return long(i / 2) + 1;
    return -1;
}

double Rms(const Samples& stereo, int side, long from, long to)
{
    double sum = 0;
    for (long i = from; i < to; ++i) {
        const double v = stereo[std::size_t(i) * 2 + std::size_t(side)] / 32768.0;
        sum += v * v;
    }
    return to > from ? std::sqrt(sum / double(to - from)) : 0.0;
}

double ZeroCrossingHz(const Samples& stereo, int side, long from, long to, unsigned rate)
{
    long first = -1, last = -1, crossings = 0;
    for (long i = from + 1; i < to; ++i) {
        const int16_t a = stereo[std::size_t(i - 1) * 2 + std::size_t(side)];
        const int16_t b = stereo[std::size_t(i) * 2 + std::size_t(side)];
        if (a < 0 && b >= 0) {
            if (first < 0)
                first = i;
            else
                ++crossings;
            last = i;
        }
    }
    return crossings > 0 ? double(crossings) * rate / double(last - first) : 0.0;
}
} // namespace enginetest
