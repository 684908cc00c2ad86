// Whole files through in_testtone, the output emulator and the engine, heard
// through the capture device: start, end, pause, seek, stop and the plug-in
// that never sounds.

#include "PlayerHarness.h"

#include "player/BassBinding.h"
#include "player/OutputEmulator.h"
#include "player/PluginHost.h"
#include "support/MessageBoxRecorder.h"

#include "platform/winmsg.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace player;
using namespace playertest;

namespace {

// Keeps the player's time going for a while (a pause to be heard, not a wait for a result).
void Hold(int ms)
{
    platform::PumpWait(ms / 10, 10, [] { return false; });
}

class PluginPlayback : public ::testing::Test {
  protected:
    void SetUp() override { folder.addPlugin("in_testtone.so", "in_testtone.so"); }

    std::string tone(const std::string& name, const std::string& text)
    {
        testsupport::WriteFile(data.file(name), text);
        return data.file(name);
    }
    // A player on the capture device with the test plug-in loaded.
    std::unique_ptr<TAudioPlayer> start()
    {
        auto p = std::make_unique<TAudioPlayer>();
        EXPECT_EQ(LoadPlugin("in_testtone.so"), plLoaded);
        log.attach(*p);
        return p;
    }
    void playToEnd(TAudioPlayer& p)
    {
        p.Play();
        EXPECT_NE(p.Mode(), psReady);
        ASSERT_TRUE(WaitUntil([&] { return log.playEnds > 0; }));
        EXPECT_EQ(p.Mode(), psStopped);
    }

    ProgramFolder folder;
    testsupport::TempDir data;
    testsupport::MessageBoxRecorder boxes;
    Capture capture;
    EventLog log;
};

} // namespace

TEST_F(PluginPlayback, ToneSoundsWholeAndEndsOnce)
{
    const std::string file = tone("a.tone", "frequency=1000\nlength=600\namplitude=0.5\ntitle=Kilohertz\n");
    {
        auto p = start();
        ASSERT_TRUE(p->Open(file));
        EXPECT_EQ(p->ChannelKind(), ckPlugin);
        EXPECT_EQ(p->SourceSupport(), ssPlugin);
        EXPECT_EQ(p->StreamInfo().Title, "Kilohertz");
        EXPECT_EQ(p->PlayLength(), 600u);
        EXPECT_EQ(p->Position(), 0u);
        p->Play();
        EXPECT_EQ(p->Mode(), psPlaying);
        EXPECT_GT(p->Position(), 200u) << "Play returns once 200 ms have sounded";
        ASSERT_EQ(log.pluginStarts.size(), 1u);
        EXPECT_EQ(log.pluginStarts[0], std::make_pair(uint16_t(2), uint32_t(44100)));
        EXPECT_EQ(p->StreamInfo().Channels, 2);
        EXPECT_EQ(Bass().BASS_ChannelIsActive(p->Channel()), DWORD(BASS_ACTIVE_PLAYING)) << "the output's stream";
        EXPECT_EQ(Probe(0)->lastVolume, 255);
        p->SetVolume(50);
        EXPECT_EQ(Probe(0)->lastVolume, 128);
        p->SetVolume(100);
        ASSERT_TRUE(WaitUntil([&] { return log.playEnds > 0; }));
        EXPECT_EQ(p->Mode(), psStopped);
        EXPECT_EQ(p->Channel(), 0u);
        EXPECT_EQ(log.pluginStarts.size(), 1u);
    }
    EXPECT_EQ(log.playEnds, 1);
    // The spectrum ran on the output's stream: the 1 kHz band lit.
    ASSERT_FALSE(log.bands.empty());
    int loudest = 0;
    for (const TBandOut& b : log.bands)
        loudest = std::max<int>(loudest, b[4]);
    EXPECT_GT(loudest, 30);

    const Samples out = capture.read();
    const long first = FirstSoundFrame(out), last = LastSoundFrame(out);
    ASSERT_GE(first, 0);
    EXPECT_NEAR(last - first, Frames(0.6), 40);
    EXPECT_EQ(SoundSpan(out), last - first) << "no gap";
    EXPECT_NEAR(ZeroCrossingHz(out, 0, first + 500, last - 500), 1000.0, 1.0);
    EXPECT_NEAR(Rms(out, 1, first + 500, last - 500), 0.5 / std::sqrt(2.0), 0.01);
}

// Seen again while a plug-in plays, the spectrum follows the output's stream.
TEST_F(PluginPlayback, SpectrumUnseenAtTheStartGoesOnWhenSeen)
{
    const std::string file = tone("a.tone", "frequency=1000\nlength=2000\namplitude=0.5\n");
    auto p = start();
    p->SetSpectrumSeen(false);
    ASSERT_TRUE(p->Open(file));
    p->Play();
    WaitUntil([] { return false; }, 300);
    EXPECT_TRUE(log.bands.empty());
    p->SetSpectrumSeen(true);
    ASSERT_TRUE(WaitUntil([&] { return log.bands.size() >= 3; }, 2000));
    EXPECT_GT(log.bands.back()[4], 30);
    p->Stop();
}

TEST_F(PluginPlayback, WavThroughThePluginIsSampleExact)
{
    const Samples input = Noise(0.7, 11);
    const std::string wav = data.file("noise.wav");
    WriteWav(wav, 44100, 2, input);
    {
        auto p = start();
        p->SetPluginFirst(true);
        ASSERT_TRUE(p->Open(wav));
        ASSERT_EQ(p->ChannelKind(), ckPlugin);
        playToEnd(*p);
    }
    EXPECT_EQ(log.playEnds, 1);
    EXPECT_TRUE(SoundsExactly(capture.read(), input));
}

TEST_F(PluginPlayback, StreamShorterThanThePrebufferStillSounds)
{
    const std::string file = tone("short.tone", "frequency=500\nlength=150\n");
    {
        auto p = start();
        ASSERT_TRUE(p->Open(file));
        playToEnd(*p);
        EXPECT_EQ(log.pluginStarts.size(), 1u);
    }
    EXPECT_EQ(log.playEnds, 1);
    const Samples out = capture.read();
    ASSERT_GE(FirstSoundFrame(out), 0);
    EXPECT_NEAR(SoundSpan(out), Frames(0.15), 40);
}

TEST_F(PluginPlayback, PauseNearTheEndKeepsTheRestForLater)
{
    const std::string file = tone("pause.tone", "frequency=800\nlength=600\n");
    {
        auto p = start();
        ASSERT_TRUE(p->Open(file));
        p->Play();
        // By 350 ms the plug-in has written everything and waits for its output to go quiet.
        ASSERT_TRUE(WaitUntil([&] { return p->Position() >= 350; }));
        p->Pause(true);
        EXPECT_EQ(p->Mode(), psPaused);
        const uint32_t at = p->Position();
        Hold(500);
        EXPECT_EQ(p->Position(), at) << "time stands while paused";
        EXPECT_EQ(log.playEnds, 0) << "a paused stream has not ended";
        p->Pause(false);
        EXPECT_EQ(p->Mode(), psPlaying);
        ASSERT_TRUE(WaitUntil([&] { return log.playEnds > 0; }));
    }
    EXPECT_EQ(log.playEnds, 1);
    const Samples out = capture.read();
    EXPECT_NEAR(SoundSpan(out), Frames(0.6), 40) << "every frame once";
    EXPECT_GE(LastSoundFrame(out) - FirstSoundFrame(out) - SoundSpan(out), Frames(0.45)) << "the pause as a gap";
}

TEST_F(PluginPlayback, SeekRestartsTheOutputAtTheTarget)
{
    // 440 Hz for the first second, 880 Hz for the second.
    Samples s = Sine(44100, 2, 440, 1.0, 0.4);
    Append(s, Sine(44100, 2, 880, 1.0, 0.4));
    for (auto& v : s)
        v |= 1; // no zero samples: sound frames count exactly
    const std::string wav = data.file("two tones.wav");
    WriteWav(wav, 44100, 2, s);
    {
        auto p = start();
        p->SetPluginFirst(true);
        ASSERT_TRUE(p->Open(wav));
        p->Play();
        ASSERT_TRUE(WaitUntil([&] { return p->Position() >= 300; }));
        p->SetPosition(2500);
        EXPECT_LT(p->Position(), 1000u) << "beyond the length: ignored";
        p->SetPosition(1500);
        EXPECT_GE(p->Position(), 1500u);
        EXPECT_EQ(log.pluginStarts.size(), 2u) << "the output restarted after its flush";
        ASSERT_TRUE(WaitUntil([&] { return log.playEnds > 0; }));
    }
    EXPECT_EQ(log.playEnds, 1);
    const Samples out = capture.read();
    const long first = FirstSoundFrame(out), last = LastSoundFrame(out);
    // About 0.3 s (plus what was queued) before the seek and the last 0.5 s after it.
    EXPECT_GT(SoundSpan(out), Frames(0.78));
    EXPECT_LT(SoundSpan(out), Frames(1.0));
    EXPECT_NEAR(ZeroCrossingHz(out, 0, first + 200, first + Frames(0.25)), 440.0, 3.0);
    EXPECT_NEAR(ZeroCrossingHz(out, 0, last - Frames(0.45), last - 200), 880.0, 3.0);
}

TEST_F(PluginPlayback, StopAndPlayAgainStartsOver)
{
    const std::string file = tone("again.tone", "frequency=600\nlength=800\n");
    auto p = start();
    ASSERT_TRUE(p->Open(file));
    p->Play();
    ASSERT_TRUE(WaitUntil([&] { return p->Position() >= 300; }));
    p->Stop();
    EXPECT_EQ(p->Mode(), psStopped);
    EXPECT_EQ(p->Channel(), 0u);
    EXPECT_EQ(log.playEnds, 0);
    p->Play();
    EXPECT_EQ(p->Mode(), psPlaying);
    EXPECT_LT(p->Position(), 600u) << "from the start again";
    EXPECT_EQ(Probe(0)->playCalls, 2);
    ASSERT_TRUE(WaitUntil([&] { return log.playEnds > 0; }));
    EXPECT_EQ(log.playEnds, 1);
}

TEST_F(PluginPlayback, PluginThatNeverSoundsLeavesNothingStuck)
{
    const std::string silent = tone("stuck.tone", "length=800\nstall=1\n");
    const std::string fine = tone("fine.tone", "frequency=700\nlength=300\n");
    auto p = start();
    ASSERT_TRUE(p->Open(silent));
    p->Play(); // gives up after its 3 s
    EXPECT_EQ(p->Mode(), psReady);
    EXPECT_TRUE(log.pluginStarts.empty());
    p->Play(); // may be asked again
    EXPECT_EQ(Probe(0)->playCalls, 2);

    ASSERT_TRUE(p->Open(fine));
    playToEnd(*p);
    EXPECT_EQ(log.playEnds, 1);
    EXPECT_EQ(log.pluginStarts.size(), 1u);
}
