// The player with a plug-in that follows the plug-in interface to the letter
// and nothing more (in_testtone with strict=1: no empty write at the end, only
// IsPlaying until it answers 0, then PLUGIN_EOF), heard through the capture:
// ends, seeks and pauses at the very end, one volume for every kind of file,
// a second output stream, and unloading while the player holds the plug-in.

#include "PlayerHarness.h"

#include "player/BassBinding.h"
#include "player/OutputEmulator.h"
#include "player/PluginHost.h"
#include "support/MessageBoxRecorder.h"

#include "platform/winmsg.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

using namespace player;
using namespace playertest;

namespace {

void Hold(int ms)
{
    platform::PumpWait(ms / 10, 10, [] { return false; });
}

// [first, last) frames of each stretch of sound, split at silences over 0.1 s.
std::vector<std::pair<long, long>> Stretches(const Samples& stereo)
{
    std::vector<std::pair<long, long>> out;
    const long frames = long(stereo.size() / 2);
    long silent = 0;
    for (long i = 0; i < frames; ++i) {
        if (stereo[std::size_t(i) * 2] == 0 && stereo[std::size_t(i) * 2 + 1] == 0) {
            ++silent;
            continue;
        }
        if (out.empty() || silent > Frames(0.1))
            out.emplace_back(i, i + 1);
        else
            out.back().second = i + 1;
        silent = 0;
    }
    return out;
}

// RMS of the left side over the middle of a stretch.
double MiddleRms(const Samples& stereo, std::pair<long, long> stretch)
{
    const long margin = (stretch.second - stretch.first) / 5;
    return Rms(stereo, 0, stretch.first + margin, stretch.second - margin);
}

double Db(double ratio)
{
    return 20 * std::log10(ratio);
}

class PluginContract : public ::testing::Test {
  protected:
    void SetUp() override
    {
        folder.addPlugin("in_testtone.so", "in_testtone.so");
        p = std::make_unique<TAudioPlayer>();
        EXPECT_EQ(LoadPlugin("in_testtone.so"), plLoaded);
        log.attach(*p);
    }

    std::string file(const std::string& name, const std::string& text)
    {
        testsupport::WriteFile(data.file(name), text);
        return data.file(name);
    }
    // Opens and plays to OnPlayEnd; false when no end came (an endless "Playing").
    bool playToEnd(const std::string& path)
    {
        const int ends = log.playEnds;
        if (!p->Open(path))
            return false;
        p->Play();
        return WaitUntil([&] { return log.playEnds > ends; }) && p->Mode() == psStopped;
    }
    // A music module straight through the engine (the player opens modules only
    // under a reader's extension), to hear the volume the player set for it.
    void playModule(const std::string& path)
    {
        const HMUSIC music = Bass().BASS_MusicLoad(FALSE, path.c_str(), 0, 0, BASS_MUSIC_MEASURELEN);
        ASSERT_NE(music, 0u);
        ASSERT_TRUE(Bass().BASS_MusicPlay(music));
        EXPECT_TRUE(WaitUntil([&] { return Bass().BASS_ChannelIsActive(music) == BASS_ACTIVE_STOPPED; }));
        Bass().BASS_MusicFree(music);
    }
    Samples heard()
    {
        p.reset();
        return capture.read();
    }

    ProgramFolder folder;
    testsupport::TempDir data;
    testsupport::MessageBoxRecorder boxes;
    Capture capture;
    EventLog log;
    std::unique_ptr<TAudioPlayer> p;
};

} // namespace

TEST_F(PluginContract, EveryToneSoundsToItsEndOnce)
{
    ASSERT_TRUE(playToEnd(file("long.tone", "strict=1\nfrequency=1000\nlength=2000\n")));
    EXPECT_EQ(log.playEnds, 1);
    Hold(150);
    ASSERT_TRUE(playToEnd(file("short.tone", "strict=1\nfrequency=1000\nlength=200\n")));
    Hold(300);
    EXPECT_EQ(log.playEnds, 2) << "one end each";

    const Samples out = heard();
    const auto stretches = Stretches(out);
    ASSERT_EQ(stretches.size(), 2u);
    EXPECT_NEAR(stretches[0].second - stretches[0].first, Frames(2.0), Frames(0.02));
    EXPECT_NEAR(stretches[1].second - stretches[1].first, Frames(0.2), Frames(0.02));
}

TEST_F(PluginContract, SeekOrPauseJustBeforeTheEndStillEnds)
{
    const std::string tone = file("second.tone", "strict=1\nfrequency=700\nlength=1000\n");
    for (int before : {50, 250}) {
        SCOPED_TRACE(before);
        const int ends = log.playEnds;
        ASSERT_TRUE(p->Open(tone));
        p->Play();
        p->SetPosition(uint32_t(1000 - before));
        EXPECT_TRUE(WaitUntil([&] { return log.playEnds > ends; })) << "seek: no end";
        EXPECT_EQ(p->Mode(), psStopped);

        ASSERT_TRUE(p->Open(tone));
        p->Play();
        ASSERT_TRUE(WaitUntil([&] { return p->Position() >= uint32_t(1000 - before) || log.playEnds > ends + 1; }));
        p->Pause(true);
        Hold(300);
        p->Pause(false);
        EXPECT_TRUE(WaitUntil([&] { return log.playEnds > ends + 1; })) << "pause: no end";
        EXPECT_EQ(p->Mode(), psStopped);
        Hold(100);
        EXPECT_EQ(log.playEnds, ends + 2) << "one end each";
    }
}

TEST_F(PluginContract, OneVolumeForEveryKindOfFile)
{
    const std::string plugin = file("a.tone", "strict=1\nfrequency=1000\nlength=600\namplitude=0.5\n");
    const std::string native = data.file("a.wav");
    WriteWav(native, 44100, 2, Sine(44100, 2, 1000, 0.6, 0.5));
    const std::string module = file("a.mod", enginetest::TinyModule());

    p->SetVolume(100);
    playModule(module); // the module's own level, for reference
    p->SetVolume(40);
    for (const std::string& path : {plugin, native, plugin}) {
        Hold(150);
        ASSERT_TRUE(playToEnd(path)) << path;
    }
    Hold(150);
    playModule(module);
    EXPECT_EQ(Probe(0)->lastVolume, 102) << "the plug-in was told the player's volume";

    const Samples out = heard();
    const auto stretches = Stretches(out);
    ASSERT_EQ(stretches.size(), 5u);
    const double moduleFull = MiddleRms(out, stretches[0]);
    const double firstPlugin = MiddleRms(out, stretches[1]);
    const double nativeLevel = MiddleRms(out, stretches[2]);
    const double secondPlugin = MiddleRms(out, stretches[3]);
    const double moduleQuiet = MiddleRms(out, stretches[4]);
    EXPECT_LT(Db(nativeLevel / (0.5 / std::sqrt(2.0))), -3.0) << "the volume took effect";
    EXPECT_NEAR(Db(firstPlugin / nativeLevel), 0.0, 0.5);
    EXPECT_NEAR(Db(secondPlugin / nativeLevel), 0.0, 0.5);
    // The module's attenuation equals the tone's.
    EXPECT_NEAR(Db(moduleQuiet / moduleFull), Db(nativeLevel / (0.5 / std::sqrt(2.0))), 0.5);
}

TEST_F(PluginContract, SecondOutputStreamGetsTheEffectsToo)
{
    EQGains cut;
    cut.fill(-15.0f);
    p->SetEQGains(cut);
    p->SetSoundEffects(seEqualizer);
    // The plug-in opens its output again 1.5 s in: the ring's content is lost, a gap.
    ASSERT_TRUE(playToEnd(file("twice.tone", "frequency=1000\nlength=2500\nreopen=1500\n")));

    const Samples out = heard();
    const long begin = FirstSoundFrame(out), end = LastSoundFrame(out);
    ASSERT_GT(end - begin, Frames(1.5));
    const double first = Rms(out, 0, begin + Frames(0.1), begin + Frames(0.6));
    const double second = Rms(out, 0, end - Frames(0.6), end - Frames(0.1));
    EXPECT_LT(Db(first / (0.5 / std::sqrt(2.0))), -10.0) << "the equalizer cut the tone";
    EXPECT_NEAR(Db(second / first), 0.0, 1.0) << "and cuts it on the second stream";
}

TEST_F(PluginContract, ThePluginThePlayerRunsIsNeverUnloaded)
{
    ASSERT_TRUE(p->Open(file("held.tone", "strict=1\nfrequency=500\nlength=3000\n")));
    p->Play();
    ASSERT_EQ(p->Mode(), psPlaying);
    PostMessage(OutputMessageWindow(), CLEAR_CURRENT_PLUGIN, 0, 0);
    PumpMessages();
    EXPECT_EQ(CurrentPlugin(), -1);
    EXPECT_EQ(UnloadPlugin("in_testtone.so"), plInUse);
    EXPECT_GE(FindPlugin("in_testtone.so"), 0) << "still loaded";
    EXPECT_GT(p->Position(), 0u) << "and still called";

    p->Stop();
    EXPECT_EQ(UnloadPlugin("in_testtone.so"), plUnloaded);
    p->Play(); // the opened file's plug-in is gone: nothing to call
    EXPECT_NE(p->Mode(), psPlaying);
    EXPECT_EQ(p->Position(), 0u);
}
