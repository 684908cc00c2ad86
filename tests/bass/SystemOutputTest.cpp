// The system's sound output, ALSA's default device, which BASS_Init leaves to
// the mixing thread to open. ALSA reads a configuration of the test's own,
// so no sound card is needed: its default device is a card of the tests'
// own (support/AlsaTestCard.h), which takes frames in real time and writes
// them to a file, or names a card that is not there.

#include "EngineHarness.h"
#include "support/AlsaTestCard.h"
#include "support/MappedLibraries.h"
#include "support/ScopedVariable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

using namespace enginetest;

namespace {

// While it lives, BASS_Init(-1) chooses the system's output, and ALSA reads
// `configuration`; then the device chosen before is chosen again.
class AlsaConfiguration {
  public:
    AlsaConfiguration(const testsupport::TempDir& dir, const std::string& configuration)
        : path_(written(dir.file("asound.conf"), configuration)), alsa_("ALSA_CONFIG_PATH", path_.c_str()),
          device_("ORVELLA_AUDIO", nullptr)
    {
    }

    // As a sound server that restarts offers its device anew: ALSA reads the
    // configuration again at the next open, as the file is another one.
    void replace(const std::string& configuration) const
    {
        std::filesystem::rename(written(path_ + ".new", configuration), path_);
    }

  private:
    static std::string written(const std::string& path, const std::string& text)
    {
        std::ofstream(path) << text;
        return path;
    }

    const std::string path_;
    const testsupport::ScopedVariable alsa_;
    const testsupport::ScopedVariable device_;
};

// The stereo frames the card wrote, without its silent frames (before, after
// and, should the mixer ever fall behind, between the sound).
Samples SoundFramesOf(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    Samples sound;
    for (std::size_t at = 0; at + 4 <= bytes.size(); at += 4) {
        int16_t frame[2];
        std::memcpy(frame, bytes.data() + at, 4);
        if (frame[0] != 0 || frame[1] != 0)
            sound.insert(sound.end(), frame, frame + 2);
    }
    return sound;
}

// At rest the device is stopped, or it would go on writing silence.
void ExpectStoppedAtRest(const std::string& heard, const char* when)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const auto size = std::filesystem::file_size(heard);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(std::filesystem::file_size(heard), size) << when;
}

DWORD DeviceKind()
{
    BASS_INFO info{};
    info.size = sizeof info;
    return BASS_GetInfo(&info) ? info.devicekind : ~0u;
}

} // namespace

TEST(SystemOutput, WhatPlaysReachesTheDefaultDeviceUnchanged)
{
    testsupport::TempDir dir;
    const AlsaConfiguration alsa(dir, testsupport::AlsaTestCardConfiguration(dir.file("heard.raw")));
    const Samples input = Noise(22050, 7);
    WriteWav(dir.file("in.wav"), 44100, 2, input);

    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr));
    ASSERT_TRUE(BASS_Start());
    // The system's output from the start, whether or not it is open yet.
    EXPECT_EQ(DeviceKind(), DWORD(BASS_DEVICE_SOUND));
    ExpectStoppedAtRest(dir.file("heard.raw"), "after BASS_Start");
    ASSERT_GE(PlayFileToEnd(dir.file("in.wav")), 0);
    EXPECT_EQ(DeviceKind(), DWORD(BASS_DEVICE_SOUND));
    ExpectStoppedAtRest(dir.file("heard.raw"), "once played out");
    ASSERT_TRUE(BASS_Free());

    // Every frame, in order and unchanged (the noise has no silent frame).
    EXPECT_TRUE(SoundFramesOf(dir.file("heard.raw")) == input);
    // JACK's client library was never loaded: its open waits for ever on a
    // store that a killed client left locked, with nothing heard.
    EXPECT_FALSE(testsupport::LibraryMapped("libjack"));
}

TEST(SystemOutput, FreeRightAfterTheEndKeepsTheWholeSound)
{
    testsupport::TempDir dir;
    const AlsaConfiguration alsa(dir, testsupport::AlsaTestCardConfiguration(dir.file("heard.raw")));
    const Samples input = Noise(22050, 3);
    WriteWav(dir.file("in.wav"), 44100, 2, input);

    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr) && BASS_Start());
    ASSERT_GE(PlayFileToEnd(dir.file("in.wav")), 0);
    // The end came when the card took the last frame; it has yet to sound.
    ASSERT_TRUE(BASS_Free());
    EXPECT_TRUE(SoundFramesOf(dir.file("heard.raw")) == input);
}

// A headset not yet plugged in, a sound server not yet up, a card another
// program holds: meanwhile the engine keeps time, then plays to the card.
TEST(SystemOutput, WithoutACardTheEnginePlaysSilentlyInRealTimeAndLooksForItAtTheNextStart)
{
    testsupport::TempDir dir;
    const AlsaConfiguration alsa(dir, "pcm.!default { type hw card 31 }\n");
    WriteWav(dir.file("tone.wav"), 44100, 2, Sine(44100, 2, 440, 0.3, 0.5));
    const Samples next = Noise(22050, 4);
    WriteWav(dir.file("next.wav"), 44100, 2, next);

    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr));
    ASSERT_TRUE(BASS_Start());
    EXPECT_GE(PlayFileToEnd(dir.file("tone.wav")), 0.25);
    EXPECT_EQ(DeviceKind(), DWORD(BASS_DEVICE_SOUND));
    alsa.replace(testsupport::AlsaTestCardConfiguration(dir.file("heard.raw")));
    std::this_thread::sleep_for(std::chrono::milliseconds(100)); // the engine at rest
    ASSERT_GE(PlayFileToEnd(dir.file("next.wav")), 0);
    EXPECT_TRUE(BASS_Free());
    EXPECT_TRUE(SoundFramesOf(dir.file("heard.raw")) == next);
}

TEST(SystemOutput, FreeWhileTheOutputIsBeingOpenedEndsTheMixer)
{
    testsupport::TempDir dir;
    const AlsaConfiguration alsa(dir, testsupport::AlsaTestCardConfiguration(dir.file("heard.raw")));
    for (int round = 0; round < 10; ++round) {
        ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr)) << round;
        if (round % 2) {
            ASSERT_TRUE(BASS_Start());
        }
        ASSERT_TRUE(BASS_Free()) << round;
    }
    // And the last round's engine played nothing, so the device heard silence only.
    EXPECT_TRUE(SoundFramesOf(dir.file("heard.raw")).empty());
}

TEST(SystemOutput, PlayingWakesTheProgramAboutOncePerPeriod)
{
    testsupport::TempDir dir;
    const AlsaConfiguration alsa(dir, testsupport::AlsaTestCardConfiguration(dir.file("heard.raw")));
    WriteWav(dir.file("tone.wav"), 44100, 2, Sine(44100, 2, 440, 1.0, 0.5));
    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr) && BASS_Start());
    const HSTREAM stream = BASS_StreamCreateFile(FALSE, dir.file("tone.wav").c_str(), 0, 0, 0);
    ASSERT_NE(stream, 0u);
    EndWaiter end;
    BASS_ChannelSetSync(stream, BASS_SYNC_END, 0, &EndWaiter::Proc, &end);
    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(BASS_StreamPlay(stream, FALSE, 0));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    // Periods of 40 ms: the mixer and the device's thread once each, some 50
    // times a second. Periods of a few milliseconds, as a low latency would
    // have, wake the process some 600 times a second.
    const long wakeups = WakeupsDuring(std::chrono::milliseconds(500));
    EXPECT_GT(wakeups, 10);
    EXPECT_LE(wakeups, 60);
    ASSERT_TRUE(end.waitFor(1));
    // Through a card with a clock, the second of sound takes a second.
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(950));
    EXPECT_TRUE(BASS_Free());
}

TEST(SystemOutput, ACardLostWhilePlayingLetsThePlayingEndInRealTime)
{
    testsupport::TempDir dir;
    const long framesBeforeLoss = 11025;
    const AlsaConfiguration alsa(
        dir, testsupport::AlsaTestCardConfiguration(dir.file("heard.raw"), {.failAfter = framesBeforeLoss}));
    WriteWav(dir.file("tone.wav"), 44100, 2, Sine(44100, 2, 440, 1.0, 0.5));

    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr) && BASS_Start());
    // The second of sound still takes a second, and ends.
    EXPECT_GE(PlayFileToEnd(dir.file("tone.wav")), 0.95);
    EXPECT_EQ(DeviceKind(), DWORD(BASS_DEVICE_SOUND));
    EXPECT_TRUE(BASS_Free());
    EXPECT_EQ(std::filesystem::file_size(dir.file("heard.raw")), std::uintmax_t(framesBeforeLoss) * 4);
}

// A sound server that restarted, or a headset plugged in again: the card
// that failed is opened again as soon as the next sound starts.
TEST(SystemOutput, ACardThatFailedIsOpenedAgainForWhatPlaysNext)
{
    testsupport::TempDir dir;
    const AlsaConfiguration alsa(dir,
                                 testsupport::AlsaTestCardConfiguration(dir.file("lost.raw"), {.failAfter = 11025}));
    WriteWav(dir.file("first.wav"), 44100, 2, Noise(44100, 5));
    const Samples next = Noise(22050, 6);
    WriteWav(dir.file("next.wav"), 44100, 2, next);

    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr) && BASS_Start());
    EXPECT_GE(PlayFileToEnd(dir.file("first.wav")), 0.95);
    ExpectStoppedAtRest(dir.file("lost.raw"), "after the card failed");
    alsa.replace(testsupport::AlsaTestCardConfiguration(dir.file("back.raw")));
    ASSERT_GE(PlayFileToEnd(dir.file("next.wav")), 0);
    EXPECT_EQ(DeviceKind(), DWORD(BASS_DEVICE_SOUND));
    ASSERT_TRUE(BASS_Free());
    EXPECT_TRUE(SoundFramesOf(dir.file("back.raw")) == next);
}

// Without a stop in between, the card is looked for about once a second:
// the rest of what plays is heard once it is back.
TEST(SystemOutput, ACardThatFailedWhilePlayingIsHeardAgainOnceItIsBack)
{
    testsupport::TempDir dir;
    const long framesBeforeLoss = 11025;
    const AlsaConfiguration alsa(
        dir, testsupport::AlsaTestCardConfiguration(dir.file("lost.raw"), {.failAfter = framesBeforeLoss}));
    const Samples input = Noise(3 * 44100, 8);
    WriteWav(dir.file("in.wav"), 44100, 2, input);

    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr) && BASS_Start());
    const HSTREAM stream = BASS_StreamCreateFile(FALSE, dir.file("in.wav").c_str(), 0, 0, 0);
    EndWaiter end;
    BASS_ChannelSetSync(stream, BASS_SYNC_END, 0, &EndWaiter::Proc, &end);
    ASSERT_TRUE(BASS_StreamPlay(stream, FALSE, 0));
    // Back as soon as the card has failed.
    const auto failedBy = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    std::error_code noFile;
    while (std::filesystem::file_size(dir.file("lost.raw"), noFile) < std::uintmax_t(framesBeforeLoss) * 4 &&
           std::chrono::steady_clock::now() < failedBy)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    alsa.replace(testsupport::AlsaTestCardConfiguration(dir.file("back.raw")));
    EXPECT_TRUE(end.waitFor(1));
    ASSERT_TRUE(BASS_Free());

    // From where the card was found again to the end, every frame in order.
    const Samples back = SoundFramesOf(dir.file("back.raw"));
    EXPECT_GE(back.size(), std::size_t(44100) * 2);
    ASSERT_LE(back.size(), input.size());
    EXPECT_TRUE(std::equal(back.begin(), back.end(), input.end() - std::ptrdiff_t(back.size())));
}

TEST(SystemOutput, AStalledCardHoldsUpNeitherAStopNorFree)
{
    testsupport::TempDir dir;
    const AlsaConfiguration alsa(dir,
                                 testsupport::AlsaTestCardConfiguration(dir.file("heard.raw"), {.stallAfter = 4410}));
    WriteWav(dir.file("tone.wav"), 44100, 2, Sine(44100, 2, 440, 1.0, 0.5));

    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr) && BASS_Start());
    const HSTREAM stream = BASS_StreamCreateFile(FALSE, dir.file("tone.wav").c_str(), 0, 0, 0);
    ASSERT_TRUE(BASS_StreamPlay(stream, FALSE, 0));
    std::this_thread::sleep_for(std::chrono::milliseconds(1300));
    // The card took what fits in it and no more: the second of sound has not ended.
    EXPECT_EQ(BASS_ChannelIsActive(stream), DWORD(BASS_ACTIVE_PLAYING));
    const auto freeing = std::chrono::steady_clock::now();
    EXPECT_TRUE(BASS_ChannelStop(stream));
    EXPECT_TRUE(BASS_Free());
    EXPECT_LT(std::chrono::steady_clock::now() - freeing, std::chrono::seconds(2));
}
