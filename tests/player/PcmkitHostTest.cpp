// The waveform plug-in in its real host: what it plays through the player and
// the output emulator is the file, and pause, seek and the end reach the player.

#include "PlayerHarness.h"

#include "player/PluginHost.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace player;
using namespace playertest;

namespace {

class PcmkitHost : public ShippedPluginTest {
  protected:
    PcmkitHost() : ShippedPluginTest("in_pcmkit.so") {}
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(ShippedPluginTest::SetUp());
        p->SetPluginFirst(true);
    }
};

} // namespace

TEST_F(PcmkitHost, WavSoundsAsThroughTheEngine)
{
    EXPECT_EQ(GetPluginInfo(0).FileExtensions, "WAV;VOC;AU;SND;AIF;AIFF") << "every pair of its default list";
    const Samples input = Noise(0.7, 21);
    WriteWav(dir.file("noise.wav"), 44100, 2, input);
    ASSERT_TRUE(p->Open(dir.file("noise.wav")));
    ASSERT_EQ(p->ChannelKind(), ckPlugin);
    EXPECT_EQ(p->SourceSupport(), ssBoth);
    p->Play();
    ASSERT_TRUE(WaitUntil([&] { return log.playEnds > 0; }));
    EXPECT_EQ(p->Mode(), psStopped);
    ASSERT_EQ(log.pluginStarts.size(), 1u);
    EXPECT_EQ(log.pluginStarts[0], std::make_pair(uint16_t(2), uint32_t(44100)));
    p.reset();
    EXPECT_EQ(log.playEnds, 1);
    EXPECT_TRUE(SoundsExactly(capture.read(), input));
    EXPECT_EQ(boxes.count(), 0u);
}

TEST_F(PcmkitHost, PauseSeekAndEndReachThePlayer)
{
    Samples s = Sine(44100, 2, 440, 1.0, 0.4);
    Append(s, Sine(44100, 2, 880, 1.0, 0.4));
    for (auto& v : s)
        v |= 1;
    WriteWav(dir.file("two tones.wav"), 44100, 2, s);
    ASSERT_TRUE(p->Open(dir.file("two tones.wav")));
    EXPECT_EQ(p->PlayLength(), 2000u);
    p->Play();
    ASSERT_TRUE(WaitUntil([&] { return p->Position() >= 300; }));
    p->Pause(true);
    const uint32_t at = p->Position();
    WaitUntil([] { return false; }, 300); // paused for a while
    EXPECT_EQ(p->Position(), at);
    p->Pause(false);
    p->SetPosition(1500);
    EXPECT_GE(p->Position(), 1500u);
    EXPECT_EQ(log.pluginStarts.size(), 2u) << "the output restarted after the seek";
    ASSERT_TRUE(WaitUntil([&] { return log.playEnds > 0; }));
    EXPECT_EQ(p->Mode(), psStopped);
    p.reset();
    EXPECT_EQ(log.playEnds, 1);

    const Samples out = capture.read();
    const long first = FirstSoundFrame(out), last = LastSoundFrame(out);
    EXPECT_GE(last - first - SoundSpan(out), Frames(0.25)) << "the pause as a gap";
    EXPECT_NEAR(ZeroCrossingHz(out, 0, first + 200, first + Frames(0.25)), 440.0, 3.0);
    EXPECT_NEAR(ZeroCrossingHz(out, 0, last - Frames(0.45), last - 200), 880.0, 3.0);
}

TEST_F(PcmkitHost, CompressedWavTheEngineCannotDecodeIsPlayedByThePlugin)
{
    // The engine goes first, as by default, but decodes no ADPCM or GSM WAV:
    // the plug-in that claimed the file as well plays it, and nothing is refused.
    p->SetPluginFirst(false);
    const std::pair<const char*, uint32_t> files[] = {{"msadpcm.wav", 459}, {"gsm.wav", 320}, {"imaadpcm.wav", 252}};
    for (const auto& [name, lengthMs] : files) {
        ASSERT_TRUE(p->Open(testsupport::TestData(std::string("pcmkit/") + name))) << name;
        EXPECT_EQ(p->ChannelKind(), ckPlugin) << name;
        EXPECT_EQ(p->SourceSupport(), ssBoth) << name;
        EXPECT_EQ(p->PlayLength(), lengthMs) << name << ": the plug-in's length";
    }
    playToEnd();
    ASSERT_EQ(log.pluginStarts.size(), 1u);
    EXPECT_EQ(log.pluginStarts[0], std::make_pair(uint16_t(2), uint32_t(22050)));
    p.reset();
    const Samples out = capture.read();
    const long first = FirstSoundFrame(out), last = LastSoundFrame(out);
    ASSERT_GE(first, 0);
    EXPECT_NEAR(last - first, Frames(0.25), Frames(0.01));
    EXPECT_NEAR(ZeroCrossingHz(out, 0, first + 500, last - 500), 440.0, 3.0);
    // The right channel's 660 Hz crosses zero more often in this coarse code
    // (sox decodes it the same way); its level tells it is there.
    EXPECT_NEAR(Rms(out, 1, first + 500, last - 500), 0.8 / std::sqrt(2.0), 0.05);
    EXPECT_EQ(boxes.count(), 0u);
}
