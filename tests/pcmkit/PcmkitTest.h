// Helpers for the waveform plug-in's tests: settings for one test, decoding
// files and byte strings through the plug-in's open path, reference decodes
// by sox and ffmpeg, and a host that records what the plug-in plays.
#pragma once

#include "Containers.h"
#include "Settings.h"

#include "player/plugin_api.h"

#include <QStringList>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace pcmkit_test {

// Default settings with every format enabled, restored when the test ends.
struct SettingsScope {
    SettingsScope();
    ~SettingsScope();
};

struct Decoded {
    bool opened = false;
    pcmkit::pcm_format format{};
    int64_t lengthFrames = -1;
    std::string info;
    std::string bytes;
};

// Opens through the plug-in's whole open path and reads everything in blocks
// of 576 frames.
Decoded DecodeFile(const std::string& path);
// The same over bytes held in memory, recognised as if named name.
Decoded DecodeBytes(const std::string& name, const std::string& bytes);
// The decoder the open path makes of those bytes (null when it fails).
pcmkit::decoder* OpenBytes(const std::string& name, const std::string& bytes);

std::vector<int16_t> Samples16(const std::string& bytes);
std::vector<int32_t> Samples24(const std::string& bytes);

// Standard output of a program; empty (and a failed test) when it fails.
std::string RunProgram(const QString& program, const QStringList& args, int* exitCode = nullptr,
                       std::string* errors = nullptr);
// Signed 16-bit little-endian samples of a file decoded by sox or by ffmpeg.
std::vector<int16_t> SoxSamples(const std::string& path, const QStringList& inputOptions = {});
std::vector<int16_t> FfmpegSamples(const std::string& path, const QStringList& inputOptions = {});

// Signal-to-noise ratio in dB of decoded against original, over their common length.
double SignalToNoise(const std::vector<int16_t>& original, const std::vector<int16_t>& decoded);

// A host for the module record: its message window, an output module that
// keeps what it is given, and entries that count the calls.
class TestHost {
  public:
    TestHost();
    ~TestHost();
    TestHost(const TestHost&) = delete;
    TestHost& operator=(const TestHost&) = delete;

    void attach(TInModule& module);
    bool waitForEof(int timeoutMs = 5000);

    std::atomic<int> room{1 << 24};   // what CanWrite answers
    std::atomic<int> playing{0};      // what IsPlaying answers
    std::atomic<int> lag{0};          // ms written but not yet sounded
    std::atomic<int> stallMs{0};      // how long the next Write hangs
    std::atomic<bool> stalled{false}; // a Write is hanging now
    std::atomic<int> outputCalls{0};  // Write, CanWrite and IsPlaying calls

    struct Call {
        std::string name;
        std::vector<int> args;
    };
    std::vector<Call> calls() const { return locked(log); }
    std::string written() const { return locked(data); }
    std::vector<int> flushes() const { return locked(flushTimes); }
    int visualisedBits() const { return locked(visualBits); }
    int emptyWrites() const { return locked(empty); }
    HWND window() const { return window_; }

    // Entries of the records (the records hold plain function pointers).
    static TestHost* current;
    void record(const std::string& name, std::vector<int> args);
    int writtenMs() const;

    mutable std::mutex mutex; // guards everything below
    std::string data;
    std::vector<Call> log;
    std::vector<int> flushTimes;
    int flushBase = 0;
    int64_t sinceFlush = 0;
    int bytesPerSecond = 0;
    int visualBits = 0;
    int empty = 0;
    bool eof = false;

  private:
    template <typename T> T locked(const T& value) const
    {
        std::lock_guard lock(mutex);
        return value;
    }

    HWND window_ = nullptr;
    TOutModule out_{};
};

} // namespace pcmkit_test
