// What the player makes the engine play, heard through the capture device:
// whole files to their end, the effects, and the spectrum of a tone.

#include "PlayerHarness.h"
#include "support/EncodedTones.h"
#include "support/MessageBoxRecorder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <vector>

using namespace player;
using namespace playertest;

namespace {

// Plays file to its end on a fresh player and returns what sounded; during()
// runs each time the position moves, for changes while playing.
Samples PlayCaptured(const std::string& file, const std::function<void(TAudioPlayer&)>& before,
                     const std::function<void(TAudioPlayer&)>& during = {}, int* playEnds = nullptr)
{
    Capture capture;
    {
        TAudioPlayer p;
        EventLog log;
        log.attach(p);
        p.OnNewFFTData = nullptr;
        if (before)
            before(p);
        EXPECT_TRUE(p.Open(file));
        p.Play();
        EXPECT_TRUE(WaitUntil([&] {
            if (during)
                during(p);
            return log.playEnds > 0;
        }));
        EXPECT_EQ(p.Mode(), psStopped);
        if (playEnds)
            *playEnds = log.playEnds;
    }
    return capture.read();
}

// What the player tells of a file the engine plays.
TStreamInfo NativeStreamInfo(TAudioPlayer& p, const std::string& file)
{
    TStreamInfo info;
    TSourceSupport support = ssNone;
    int slot;
    EXPECT_TRUE(p.GetStreamInfo(file, info, support, slot));
    EXPECT_EQ(support, ssNative);
    return info;
}

// A short 1 kHz burst, then silence: what follows the burst is the effect's tail.
std::string BurstFile(testsupport::TempDir& dir)
{
    Samples s = Sine(44100, 2, 1000, 0.05, 0.5);
    Append(s, Silence(2, 1.0));
    WriteWav(dir.file("burst.wav"), 44100, 2, s);
    return dir.file("burst.wav");
}

} // namespace

TEST(PlayerCapture, WavPlaysSampleExactAndEndsOnce)
{
    testsupport::TempDir dir;
    const Samples input = Noise(0.4, 7);
    WriteWav(dir.file("noise.wav"), 44100, 2, input);
    int ends = 0;
    EXPECT_TRUE(SoundsExactly(PlayCaptured(dir.file("noise.wav"), {}, {}, &ends), input));
    EXPECT_EQ(ends, 1);
}

TEST(PlayerCapture, Mp3AndOggPlayTheirToneToTheEnd)
{
    // 0.8 s: 440 Hz on the left, 660 Hz on the right, at half of full scale.
    for (const char* name : {"bass/tone.mp3", "bass/tone.ogg"}) {
        SCOPED_TRACE(name);
        int ends = 0;
        const Samples out = PlayCaptured(testsupport::TestData(name), {}, {}, &ends);
        EXPECT_EQ(ends, 1);
        const long first = FirstSoundFrame(out), last = LastSoundFrame(out);
        ASSERT_GE(first, 0);
        EXPECT_NEAR(double(last - first) / 44100.0, 0.8, 0.06);
        EXPECT_NEAR(ZeroCrossingHz(out, 0, first + 2000, last - 2000), 440.0, 2.0);
        EXPECT_NEAR(ZeroCrossingHz(out, 1, first + 2000, last - 2000), 660.0, 2.0);
        EXPECT_NEAR(Rms(out, 0, first + 2000, last - 2000), 0.5 / std::sqrt(2.0), 0.03);
    }
}

TEST(PlayerCapture, Mp2AndTrackerModulesPlayNativelyForTheirLength)
{
    testsupport::TempDir dir;
    const std::string mp2 = testsupport::MakeTone(dir.path(), "tone", {"mp2", "mp2", 44100, 2, {}}, 440, 0.8);
    ASSERT_FALSE(mp2.empty());
    const std::string module = dir.file("tiny.mod"); // 0.64 s of a looped square wave
    testsupport::WriteFile(module, enginetest::TinyModule());
    for (const auto& [file, seconds] : {std::pair(mp2, 0.8), std::pair(module, 0.64)}) {
        SCOPED_TRACE(file);
        uint32_t length = 0, furthest = 0;
        int ends = 0;
        const Samples out = PlayCaptured(
            file,
            [&](TAudioPlayer& p) {
                const TStreamInfo info = NativeStreamInfo(p, file);
                EXPECT_NEAR(info.Duration, seconds * 1000, 60);
                EXPECT_EQ(info.Channels, 2);
            },
            [&](TAudioPlayer& p) {
                length = p.PlayLength();
                furthest = std::max(furthest, p.Position());
            },
            &ends);
        EXPECT_EQ(ends, 1);
        EXPECT_NEAR(length, seconds * 1000, 60);
        EXPECT_GT(furthest, seconds * 500) << "the position moves while it plays";
        const long first = FirstSoundFrame(out), last = LastSoundFrame(out);
        ASSERT_GE(first, 0);
        EXPECT_NEAR(double(last - first) / 44100.0, seconds, 0.06);
        EXPECT_GT(Rms(out, 0, first, last), 0.05);
        if (file == mp2) {
            EXPECT_NEAR(ZeroCrossingHz(out, 0, first + 2000, last - 2000), 440.0, 2.0);
        }
    }
}

TEST(PlayerCapture, EngineTypesUnderTheirOtherNamesOrInFormsTheReadersRefusePlayNatively)
{
    // The names the desktop gives audio/ogg and audio/mpeg files besides .ogg
    // and .mp3; then forms the readers do not know: 5.1 Vorbis, an RF64
    // header, WAV data in a file named .mp3. No plug-in claims them; the engine
    // plays them, measured by the readers or else by the engine.
    testsupport::TempDir dir;
    const testsupport::ToneFile types[] = {{"oga", "libvorbis", 44100, 2, {"-f", "ogg"}},
                                           {"mpga", "libmp3lame", 44100, 2, {"-f", "mp3"}},
                                           {"ogg", "libvorbis", 44100, 6, {}},
                                           {"wav", "pcm_s16le", 44100, 2, {"-rf64", "always"}},
                                           {"mp3", "pcm_s16le", 44100, 2, {"-f", "wav"}}};
    for (const testsupport::ToneFile& type : types) {
        SCOPED_TRACE(::testing::PrintToString(type));
        const std::string file = testsupport::MakeTone(dir.path(), "tone", type, 440, 0.8);
        ASSERT_FALSE(file.empty());
        testsupport::MessageBoxRecorder boxes;
        uint32_t furthest = 0;
        const Samples out = PlayCaptured(
            file,
            [&](TAudioPlayer& p) {
                const TStreamInfo info = NativeStreamInfo(p, file);
                EXPECT_NEAR(info.Duration, 800, 60); // MP3 ends on a whole frame
                EXPECT_EQ(info.SampleRate, 44100);
                EXPECT_EQ(info.FileSize, std::filesystem::file_size(file));
            },
            [&](TAudioPlayer& p) { furthest = std::max(furthest, p.Position()); });
        EXPECT_EQ(boxes.count(), 0u);
        EXPECT_GT(furthest, 400u);
        const long first = FirstSoundFrame(out), last = LastSoundFrame(out);
        ASSERT_GE(first, 0);
        EXPECT_NEAR(double(last - first) / 44100.0, 0.8, 0.06);
        EXPECT_NEAR(ZeroCrossingHz(out, 0, first + 2000, last - 2000), 440.0, 2.0);
    }
}

TEST(PlayerCapture, ModuleSeeksWithinItsLengthOnly)
{
    testsupport::TempDir dir;
    testsupport::WriteFile(dir.file("tiny.mod"), enginetest::TinyModule());
    Capture capture;
    {
        TAudioPlayer p;
        EventLog log;
        log.attach(p);
        ASSERT_TRUE(p.Open(dir.file("tiny.mod")));
        p.SetPosition(900); // beyond its 640 ms: ignored
        EXPECT_EQ(p.Position(), 0u);
        p.SetPosition(320);
        EXPECT_NEAR(p.Position(), 320, 5);
        p.Play();
        EXPECT_TRUE(WaitUntil([&] { return log.playEnds > 0; }));
    }
    const Samples out = capture.read();
    const long first = FirstSoundFrame(out), last = LastSoundFrame(out);
    ASSERT_GE(first, 0);
    EXPECT_NEAR(double(last - first) / 44100.0, 0.32, 0.03) << "only the second half sounds";
}

TEST(PlayerCapture, ModuleExtensionOnOtherBytesIsRefused)
{
    testsupport::TempDir dir;
    testsupport::WriteFile(dir.file("fake.xm"), std::string(4096, 'x'));
    testsupport::MessageBoxRecorder boxes;
    TAudioPlayer p;
    TStreamInfo info;
    TSourceSupport support;
    int slot;
    EXPECT_FALSE(p.GetStreamInfo(dir.file("fake.xm"), info, support, slot));
    EXPECT_EQ(support, ssNone);
    EXPECT_FALSE(p.Open(dir.file("fake.xm")));
    EXPECT_EQ(boxes.count(), 1u);
}

TEST(PlayerEffects, EqualizerOffAndOnAgainRestoresTheStoredGains)
{
    testsupport::TempDir dir;
    WriteWav(dir.file("tone.wav"), 44100, 2, Sine(44100, 2, 1000, 1.8, 0.1));
    EQGains gains{};
    gains[4] = 12.0f; // the 1 kHz band
    gains[0] = 20.0f; // beyond the range: 15
    // The switches take effect from the next block mixed: the position when each was made.
    std::vector<double> switchedAt;
    const Samples out = PlayCaptured(
        dir.file("tone.wav"),
        [&](TAudioPlayer& p) {
            p.SetEQGains(gains);
            EXPECT_EQ(p.EQBandGains()[0], 15.0f);
            p.SetSoundEffects(seEqualizer);
        },
        [&](TAudioPlayer& p) {
            if (p.Position() >= 600 * (switchedAt.size() + 1) && switchedAt.size() < 2) {
                p.SetSoundEffects(switchedAt.empty() ? 0 : seEqualizer);
                switchedAt.push_back(p.Position() / 1000.0);
            }
        });
    ASSERT_EQ(switchedAt.size(), 2u);
    const long first = FirstSoundFrame(out);
    ASSERT_GE(first, 0);
    auto rms = [&](double from, double to) { return Rms(out, 0, first + Frames(from), first + Frames(to)); };
    const double on = rms(0.1, switchedAt[0] - 0.05);
    const double off = rms(switchedAt[0] + 0.1, switchedAt[1] - 0.05);
    const double again = rms(switchedAt[1] + 0.1, 1.75);
    EXPECT_NEAR(off, 0.1 / std::sqrt(2.0), 0.005);
    EXPECT_NEAR(on / off, std::pow(10.0, 12.0 / 20.0), 0.4); // +12 dB at the band's centre
    EXPECT_NEAR(again / on, 1.0, 0.05);
}

TEST(PlayerEffects, EchoAndReverbLevelsSetTheirTails)
{
    testsupport::TempDir dir;
    const std::string burst = BurstFile(dir);
    auto tail = [&](TSoundEffects effect, int level, double from, double to) {
        const Samples out = PlayCaptured(burst, [&](TAudioPlayer& p) {
            p.SetEchoLevel(level);
            p.SetReverbLevel(level);
            p.SetEchoLevel(33); // out of range: ignored
            p.SetReverbLevel(-1);
            EXPECT_EQ(p.EchoLevel(), level);
            EXPECT_EQ(p.ReverbLevel(), level);
            p.SetSoundEffects(effect);
        });
        const long first = FirstSoundFrame(out);
        EXPECT_GE(first, 0);
        return Rms(out, 0, first + Frames(from), first + Frames(to));
    };
    // The echo repeats the burst 500 ms later, with the level as its wet share.
    const double echoFull = tail(seEcho, 32, 0.5, 0.55);
    const double echoNone = tail(seEcho, 0, 0.5, 0.55);
    EXPECT_GT(echoFull, 0.05);
    EXPECT_LT(echoNone, 0.001);
    // The reverb's mix runs from -16 dB (level 0) to 0 dB (level 32).
    const double reverbFull = tail(seReverb, 32, 0.1, 0.4);
    const double reverbLow = tail(seReverb, 0, 0.1, 0.4);
    EXPECT_GT(reverbLow, 0.0);
    EXPECT_GT(reverbFull / reverbLow, 3.0);
}

TEST(PlayerEffects, FlangerKeepsSilenceAndClampsFullScale)
{
    testsupport::TempDir dir;
    WriteWav(dir.file("silence.wav"), 44100, 2, Silence(2, 0.3));
    const Samples quiet = PlayCaptured(dir.file("silence.wav"), [](TAudioPlayer& p) { p.SetSoundEffects(seFlanger); });
    EXPECT_EQ(FirstSoundFrame(quiet), -1);

    // Full scale on both sides: input plus the delayed input must saturate, never wrap.
    Samples loud;
    for (long i = 0; i < Frames(0.3); ++i) {
        loud.push_back(32767);
        loud.push_back(-32768);
    }
    WriteWav(dir.file("loud.wav"), 44100, 2, loud);
    const Samples out = PlayCaptured(dir.file("loud.wav"), [](TAudioPlayer& p) { p.SetSoundEffects(seFlanger); });
    const long first = FirstSoundFrame(out), last = LastSoundFrame(out);
    ASSERT_GE(first, 0);
    EXPECT_EQ(last - first, Frames(0.3));
    for (long i = first; i < last; ++i) {
        ASSERT_EQ(out[std::size_t(i) * 2], 32767) << i;
        ASSERT_EQ(out[std::size_t(i) * 2 + 1], -32768) << i;
    }
}

TEST(PlayerSpectrum, ToneLightsItsBandThenFallsByTwoPerTick)
{
    testsupport::TempDir dir;
    Samples s = Sine(44100, 2, 1000, 0.6, 0.5);
    Append(s, Silence(2, 0.8));
    WriteWav(dir.file("tone then silence.wav"), 44100, 2, s);
    TAudioPlayer p;
    EventLog log;
    log.attach(p);
    ASSERT_TRUE(p.Open(dir.file("tone then silence.wav")));
    p.Play();
    ASSERT_TRUE(WaitUntil([&] { return log.playEnds > 0; }));
    ASSERT_GT(log.bands.size(), 20u);

    // Bins 7..12 (603..1034 Hz) make band 4.
    const auto loudest = std::max_element(log.bands.begin(), log.bands.end(),
                                          [](const TBandOut& a, const TBandOut& b) { return a[4] < b[4]; });
    EXPECT_GT((*loudest)[4], 30);
    EXPECT_EQ(std::max_element(loudest->begin(), loudest->end()) - loudest->begin(), 4);

    // After the tone: the held value falls by exactly 2 per tick.
    int run = 0, longest = 0;
    for (std::size_t i = std::size_t(loudest - log.bands.begin()) + 1; i < log.bands.size(); ++i) {
        run = log.bands[i][4] + 2 == log.bands[i - 1][4] ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    EXPECT_GE(longest, 10);
    EXPECT_LT(log.bands.back()[4], (*loudest)[4]);
}

// The window out of sight: no spectrum is computed until it is seen again, and
// being seen while paused starts nothing.
TEST(PlayerSpectrum, UnseenItIsNotComputedAndSeenAgainItGoesOn)
{
    testsupport::TempDir dir;
    WriteWav(dir.file("tone.wav"), 44100, 2, Sine(44100, 2, 1000, 4.0, 0.5));
    TAudioPlayer p;
    EventLog log;
    log.attach(p);
    const auto pump = [](int ms) { WaitUntil([] { return false; }, ms); };
    p.SetSpectrumSeen(false);
    ASSERT_TRUE(p.Open(dir.file("tone.wav")));
    p.Play();
    pump(300);
    EXPECT_TRUE(log.bands.empty()) << "unseen from the start";

    p.SetSpectrumSeen(true);
    ASSERT_TRUE(WaitUntil([&] { return log.bands.size() >= 3; }, 2000));
    EXPECT_GT(log.bands.back()[4], 30) << "the tone's band";

    p.SetSpectrumSeen(false);
    pump(50); // a frame already on its way
    const std::size_t unseen = log.bands.size();
    pump(300);
    EXPECT_EQ(log.bands.size(), unseen) << "unseen while playing";

    p.Pause(true);
    p.SetSpectrumSeen(true);
    pump(300);
    EXPECT_EQ(log.bands.size(), unseen) << "seen while paused";
    p.Pause(false);
    EXPECT_TRUE(WaitUntil([&] { return log.bands.size() >= unseen + 3; }, 2000)) << "resumed";
    p.Stop();
}
