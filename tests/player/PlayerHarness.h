// Helpers for the player's tests: a program folder of their own, a capture of
// everything the engine plays, signal builders and measurements.
#pragma once

#include "bass/EngineHarness.h"
#include "player/AudioPlayer.h"
#include "plugin/TestToneProbe.h"
#include "support/MessageBoxRecorder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace playertest {

// WAV files, sines and measurements of a capture are the engine tests' own.
using enginetest::FirstSoundFrame;
using enginetest::LastSoundFrame;
using enginetest::Rms;
using enginetest::Samples; // interleaved
using enginetest::Sine;
using enginetest::WriteWav;
using enginetest::ZeroCrossingHz;

// Frames at the engine's 44.1 kHz.
long Frames(double seconds);
Samples Silence(unsigned channels, double seconds, unsigned rate = 44100);
// Stereo noise without a zero sample: any dropped, repeated or changed sample shows.
Samples Noise(double seconds, unsigned seed);
// The capture holds input exactly, from its first sound on, and nothing after it.
::testing::AssertionResult SoundsExactly(const Samples& capture, const Samples& input);
void Append(Samples& to, const Samples& more);

// A program folder for one test: links to the built engine libraries and an
// empty Plugins/ folder; the build's program folder comes back at the end.
class ProgramFolder {
  public:
    explicit ProgramFolder(bool withEngine = true, bool withWma = true);
    ~ProgramFolder();
    ProgramFolder(const ProgramFolder&) = delete;
    ProgramFolder& operator=(const ProgramFolder&) = delete;

    // Copies a test plug-in (in_testtone.so, in_noexport.so, in_nullmodule.so) into Plugins/ as name.
    void addPlugin(const std::string& built, const std::string& name);
    void addPluginFile(const std::string& name, const std::string& bytes);
    std::string file(const std::string& name) const { return dir_.file(name); } // beside the libraries

  private:
    testsupport::TempDir dir_;
};

// Hears the engine: from construction (before the player is created) the
// engine writes what it plays to a WAV file; read() after the player is gone.
class Capture {
  public:
    Capture();
    ~Capture();
    Samples read() const; // stereo frames at 44100 Hz

  private:
    testsupport::TempDir dir_;
};

// Pumps messages until done() holds; false after timeoutMs (a broken player
// must not hang the suite).
bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 10000);

// The player's events, counted.
struct EventLog {
    int playEnds = 0;
    std::vector<std::pair<uint16_t, uint32_t>> pluginStarts; // channels, rate
    std::vector<player::TBandOut> bands;
    std::vector<player::TPlayState> modes; // each new mode, as OnModeChange saw it
    void attach(player::TAudioPlayer& p);
};

// One of our own plug-ins, from the build's program folder (Plugins/library),
// in a real player heard through the capture.
class ShippedPluginTest : public ::testing::Test {
  protected:
    explicit ShippedPluginTest(std::string library) : library_(std::move(library)) {}
    void SetUp() override;
    // Plays the opened file and waits for its end.
    void playToEnd(int timeoutMs = 10000);

    testsupport::TempDir dir;
    testsupport::MessageBoxRecorder boxes;
    Capture capture;
    std::unique_ptr<player::TAudioPlayer> p;
    EventLog log;

  private:
    std::string library_;
};

// The in_testtone loaded in a slot, for its probe.
TestToneProbe* Probe(int slot);

// Frames from the first sound to the last, less every silence of more than a
// few frames inside (a sine's zero crossings do not count as silence).
long SoundSpan(const Samples& stereo);

} // namespace playertest
