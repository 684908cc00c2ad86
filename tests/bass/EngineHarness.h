// Runs the engine on the wav: capture device and reads back what it played.
#pragma once

#include "bass/bass.h"
#include "support/TempDir.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace enginetest {

// Interleaved 16-bit samples.
using Samples = std::vector<int16_t>;

// Writes a PCM WAV file.
void WriteWav(const std::string& path, unsigned rate, unsigned channels, const Samples& samples);

// Noise-like stereo content, with no zero sample: any dropped, repeated or
// altered sample shows, and the first frame with sound is the first frame.
Samples Noise(long frames, unsigned seed);

// A sine of the given amplitude (0..1 of full scale), the same on every channel.
Samples Sine(unsigned rate, unsigned channels, double hz, double seconds, double amplitude);

// Starts the engine on a WAV capture; finish() frees it and reads the capture.
class CaptureSession {
  public:
    CaptureSession();
    ~CaptureSession();
    Samples finish(); // stereo frames at 44100 Hz
    std::string file(const std::string& name) const { return dir_.file(name); }
    const std::string& path() const { return dir_.path(); }

  private:
    testsupport::TempDir dir_;
    bool running_ = false;
};

// A one-pattern ProTracker module: a looped square wave for 0.64 s.
std::string TinyModule();

// The stereo frames of a capture, checking that its header sizes were patched.
Samples ReadCapture(const std::string& path);

// Counts end syncs and lets a test wait for them.
class EndWaiter {
  public:
    static void Proc(HSYNC, DWORD, DWORD, void* user);
    bool waitFor(int count, int seconds = 10);
    int count();

  private:
    std::mutex lock_; // guards count_
    std::condition_variable changed_;
    int count_ = 0;
};

// Plays the file `path` as a stream to its end sync, then frees it. The
// seconds from the start of play to the end sync; -1 (and a test failure)
// when it could not be played or did not end.
double PlayFileToEnd(const std::string& path);

// How often the other threads of this process ran while the calling one slept
// for `time`: their context switches.
long WakeupsDuring(std::chrono::milliseconds time);

// Index of the first frame with sound on either side, or -1.
long FirstSoundFrame(const Samples& stereo);
// Index one past the last frame with sound, or -1.
long LastSoundFrame(const Samples& stereo);
// RMS of one side over [from, to) frames, as a fraction of full scale.
double Rms(const Samples& stereo, int side, long from, long to);
// Frequency from the upward zero crossings of one side over [from, to).
double ZeroCrossingHz(const Samples& stereo, int side, long from, long to, unsigned rate = 44100);

} // namespace enginetest
