// With nothing playing the engine's threads sleep until a channel starts; a
// capture keeps its real-time clock only while a channel exists.

#include "EngineHarness.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace enginetest;

TEST(Rest, TheSilentDeviceAndTheMixerSleepWhileNothingPlays)
{
    testsupport::TempDir dir;
    WriteWav(dir.file("tone.wav"), 44100, 2, Sine(44100, 2, 440, 0.3, 0.5));
    setenv("ORVELLA_AUDIO", "null", 1);
    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr) && BASS_Start());
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_LE(WakeupsDuring(std::chrono::milliseconds(500)), 4) << "at rest after BASS_Start";

    const HSTREAM stream = BASS_StreamCreateFile(FALSE, dir.file("tone.wav").c_str(), 0, 0, 0);
    ASSERT_NE(stream, 0u);
    EndWaiter end;
    BASS_ChannelSetSync(stream, BASS_SYNC_END, 0, &EndWaiter::Proc, &end);
    EXPECT_LE(WakeupsDuring(std::chrono::milliseconds(300)), 4) << "a stream that is not playing";

    ASSERT_TRUE(BASS_StreamPlay(stream, FALSE, 0));
    // Playing: the mixer runs, once per tick of the silent device (40 ms) and no more often.
    const long playing = WakeupsDuring(std::chrono::milliseconds(400));
    EXPECT_GT(playing, 4);
    EXPECT_LE(playing, 20);
    ASSERT_TRUE(end.waitFor(1));
    EXPECT_EQ(BASS_ChannelIsActive(stream), DWORD(BASS_ACTIVE_STOPPED));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_LE(WakeupsDuring(std::chrono::milliseconds(500)), 4) << "at rest again once played out";

    // And it wakes for the next start.
    ASSERT_TRUE(BASS_StreamPlay(stream, TRUE, 0));
    EXPECT_TRUE(end.waitFor(2, 3));
    EXPECT_TRUE(BASS_Free());
}

TEST(Rest, ACaptureRunsItsClockOnlyWhileAChannelExists)
{
    CaptureSession session;
    const Samples tone = Sine(44100, 2, 440, 0.2, 0.5);
    WriteWav(session.file("tone.wav"), 44100, 2, tone);
    std::this_thread::sleep_for(std::chrono::milliseconds(300)); // no channel: nothing written
    const HSTREAM stream = BASS_StreamCreateFile(FALSE, session.file("tone.wav").c_str(), 0, 0, 0);
    ASSERT_NE(stream, 0u);
    EndWaiter end;
    BASS_ChannelSetSync(stream, BASS_SYNC_END, 0, &EndWaiter::Proc, &end);
    ASSERT_TRUE(BASS_StreamPlay(stream, FALSE, 0));
    ASSERT_TRUE(end.waitFor(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(400)); // stopped but there: silence written
    ASSERT_TRUE(BASS_StreamFree(stream));
    std::this_thread::sleep_for(std::chrono::milliseconds(1500)); // gone: nothing written
    const Samples out = session.finish();

    const long first = FirstSoundFrame(out);
    ASSERT_GE(first, 0);
    // The queue's 116 ms of silence come first; the wait before the channel does not.
    EXPECT_LT(first, 44100 * 2 / 10) << "the wait before the first channel is not in the capture";
    EXPECT_EQ(LastSoundFrame(out) - first, LastSoundFrame(tone) - FirstSoundFrame(tone)) << "the whole tone";
    const long frames = long(out.size() / 2);
    EXPECT_GE(frames - LastSoundFrame(out), 44100 * 4 / 10) << "the stopped channel's silence is";
    EXPECT_LT(frames - LastSoundFrame(out), 44100 * 14 / 10) << "the time without a channel is not";
}

TEST(Rest, TheSilentDeviceKeepsRealTimeAtTheHighestRate)
{
    // At 192 kHz the queue holds less than the device's usual tick: a tick
    // that took more than the queue would play a second in about one and a half.
    testsupport::TempDir dir;
    WriteWav(dir.file("tone.wav"), 48000, 1, Sine(48000, 1, 440, 1.0, 0.5));
    setenv("ORVELLA_AUDIO", "null", 1);
    ASSERT_TRUE(BASS_Init(-1, 192000, 0, nullptr) && BASS_Start());
    const double seconds = PlayFileToEnd(dir.file("tone.wav"));
    EXPECT_GT(seconds, 0.95);
    EXPECT_LT(seconds, 1.35) << "the queue of 27 ms and a tick at most";
    EXPECT_TRUE(BASS_Free());
}

TEST(Rest, FreeRightAfterInitAlwaysEndsTheMixer)
{
    // The mixer at rest sleeps until woken; free()'s wake-up must never be
    // lost, however soon after the start it comes.
    setenv("ORVELLA_AUDIO", "null", 1);
    for (int round = 0; round < 1000; ++round) {
        ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr)) << "round " << round;
        ASSERT_TRUE(BASS_Free()) << "round " << round;
    }
}
