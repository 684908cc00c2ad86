// What the engine plays, heard through the wav: capture device.

#include "EngineHarness.h"

#include "bass/bass_wma.h"
#include "support/ByteBuilder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

using namespace enginetest;

namespace {

// Plays a file stream to its end and returns the capture. `syncs` is how many
// end syncs the stream carries, this one included: all are waited for.
Samples PlayToEnd(CaptureSession& session, HSTREAM stream, EndWaiter& end, int syncs = 1)
{
    EXPECT_NE(BASS_ChannelSetSync(stream, BASS_SYNC_END, 0, &EndWaiter::Proc, &end), 0u);
    EXPECT_TRUE(BASS_StreamPlay(stream, FALSE, 0));
    EXPECT_TRUE(end.waitFor(syncs));
    EXPECT_EQ(BASS_ChannelIsActive(stream), DWORD(BASS_ACTIVE_STOPPED));
    return session.finish();
}

} // namespace

TEST(Playback, WavAtOutputRateIsSampleExact)
{
    CaptureSession session;
    const Samples input = Noise(22050, 1);
    WriteWav(session.file("in.wav"), 44100, 2, input);
    const HSTREAM stream = BASS_StreamCreateFile(FALSE, session.file("in.wav").c_str(), 0, 0, 0);
    ASSERT_NE(stream, 0u) << BASS_ErrorGetCode();
    EXPECT_EQ(BASS_StreamGetLength(stream), int64_t(input.size() * 2));
    EXPECT_EQ(BASS_ChannelGetFlags(stream), 0u);
    EndWaiter end;
    const Samples out = PlayToEnd(session, stream, end);
    EXPECT_EQ(end.count(), 1);

    const long first = FirstSoundFrame(out);
    ASSERT_GE(first, 0);
    ASSERT_GE(out.size(), first * 2 + input.size());
    EXPECT_TRUE(std::equal(input.begin(), input.end(), out.begin() + first * 2));
    EXPECT_EQ(LastSoundFrame(out) - first, 22050);
}

TEST(Playback, CutOffWavIsAsLongAsTheFramesItHolds)
{
    // A copy that ended early: its header still claims all 22050 frames, so
    // the length is counted from the data, and no frame of it may be missed.
    CaptureSession session;
    const Samples input = Noise(22050, 3);
    const long kept = 10000;
    WriteWav(session.file("cut.wav"), 44100, 2, input);
    std::filesystem::resize_file(session.file("cut.wav"), 44 + kept * 4);
    const HSTREAM stream = BASS_StreamCreateFile(FALSE, session.file("cut.wav").c_str(), 0, 0, 0);
    ASSERT_NE(stream, 0u) << BASS_ErrorGetCode();
    EXPECT_EQ(BASS_StreamGetLength(stream), int64_t(kept * 4));

    EndWaiter end;
    const Samples out = PlayToEnd(session, stream, end);
    const long first = FirstSoundFrame(out);
    ASSERT_GE(first, 0);
    EXPECT_EQ(LastSoundFrame(out) - first, kept);
    EXPECT_TRUE(std::equal(input.begin(), input.begin() + kept * 2, out.begin() + first * 2));
}

TEST(Playback, MonoAt22050HzKeepsPitchAndLength)
{
    CaptureSession session;
    WriteWav(session.file("in.wav"), 22050, 1, Sine(22050, 1, 1000, 0.5, 0.5));
    const HSTREAM stream = BASS_StreamCreateFile(FALSE, session.file("in.wav").c_str(), 0, 0, 0);
    ASSERT_NE(stream, 0u);
    EXPECT_EQ(BASS_ChannelGetFlags(stream), DWORD(BASS_SAMPLE_MONO));
    EXPECT_EQ(BASS_StreamGetLength(stream), 22050); // bytes of its own format: 11025 frames x 2
    EXPECT_FLOAT_EQ(BASS_ChannelBytes2Seconds(stream, 22050), 0.5f);
    EndWaiter end;
    const Samples out = PlayToEnd(session, stream, end);

    const long first = FirstSoundFrame(out), last = LastSoundFrame(out);
    ASSERT_GE(first, 0);
    EXPECT_NEAR(last - first, 22050, 60); // 0.5 s at 44.1 kHz
    EXPECT_NEAR(ZeroCrossingHz(out, 0, first + 500, last - 500), 1000.0, 2.0);
    EXPECT_NEAR(ZeroCrossingHz(out, 1, first + 500, last - 500), 1000.0, 2.0);
    EXPECT_NEAR(Rms(out, 0, first + 500, last - 500), 0.5 / std::sqrt(2.0), 0.01);
}

class EncodedFile : public ::testing::TestWithParam<const char*> {};

TEST_P(EncodedFile, PlaysForItsLengthAndEndsOnce)
{
    CaptureSession session;
    const std::string path = testsupport::TestData(std::string("bass/") + GetParam());
    const bool wma = std::string(GetParam()).ends_with(".wma");
    const HSTREAM stream = wma ? BASS_WMA_StreamCreateFile(FALSE, path.c_str(), 0, 0, 0)
                               : BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, 0);
    ASSERT_NE(stream, 0u) << BASS_ErrorGetCode();
    const double seconds = BASS_ChannelBytes2Seconds(stream, BASS_StreamGetLength(stream));
    EXPECT_NEAR(seconds, 0.8, 0.04);

    EndWaiter end;
    if (wma) {
        EXPECT_NE(BASS_WMA_ChannelSetSync(stream, BASS_SYNC_END, 0, &EndWaiter::Proc, &end), 0u);
    }
    const Samples out = PlayToEnd(session, stream, end, wma ? 2 : 1);
    EXPECT_EQ(end.count(), wma ? 2 : 1); // the WMA stream carries two syncs, each fired once

    const long first = FirstSoundFrame(out), last = LastSoundFrame(out);
    ASSERT_GE(first, 0);
    EXPECT_NEAR(double(last - first) / 44100, 0.8, 0.04);
    // The fixture holds 440 Hz on the left and 660 Hz on the right, at half of full scale.
    EXPECT_NEAR(Rms(out, 0, first + 4410, last - 4410), 0.5 / std::sqrt(2.0), 0.03);
    EXPECT_NEAR(ZeroCrossingHz(out, 0, first + 4410, last - 4410), 440.0, 2.0);
    EXPECT_NEAR(ZeroCrossingHz(out, 1, first + 4410, last - 4410), 660.0, 2.0);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, EncodedFile,
                         ::testing::Values("tone.mp3", "tone-notag.mp3", "tone.ogg", "tone.wma"));

TEST(Playback, SeekIsExactAndPositionReadsIt)
{
    CaptureSession session;
    const Samples input = Noise(70560, 2); // 1.6 s
    WriteWav(session.file("in.wav"), 44100, 2, input);
    const HSTREAM stream = BASS_StreamCreateFile(FALSE, session.file("in.wav").c_str(), 0, 0, 0);
    ASSERT_NE(stream, 0u);
    const int64_t at = BASS_ChannelSeconds2Bytes(stream, 1.5f);
    EXPECT_EQ(at, 66150 * 4);
    ASSERT_TRUE(BASS_ChannelSetPosition(stream, at));
    EXPECT_FLOAT_EQ(BASS_ChannelBytes2Seconds(stream, BASS_ChannelGetPosition(stream)), 1.5f);
    EXPECT_FALSE(BASS_ChannelSetPosition(stream, int64_t(input.size()) * 2 + 4));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_POSITION);

    EndWaiter end;
    const Samples out = PlayToEnd(session, stream, end);
    const long first = FirstSoundFrame(out);
    ASSERT_GE(first, 0);
    EXPECT_EQ(LastSoundFrame(out) - first, 70560 - 66150);
    EXPECT_TRUE(std::equal(input.begin() + 66150 * 2, input.end(), out.begin() + first * 2));
}

TEST(Playback, SeekInMp3LandsWhereAsked)
{
    CaptureSession session;
    const HSTREAM stream = BASS_StreamCreateFile(FALSE, testsupport::TestData("bass/tone.mp3").c_str(), 0, 0, 0);
    ASSERT_NE(stream, 0u);
    ASSERT_TRUE(BASS_ChannelSetPosition(stream, BASS_ChannelSeconds2Bytes(stream, 0.5f)));
    EXPECT_FLOAT_EQ(BASS_ChannelBytes2Seconds(stream, BASS_ChannelGetPosition(stream)), 0.5f);
    EndWaiter end;
    const Samples out = PlayToEnd(session, stream, end);
    // The decoder restores the bit reservoir before the frame the seek lands
    // in, so all of the 0.3 s left is heard.
    const long first = FirstSoundFrame(out);
    EXPECT_NEAR(double(LastSoundFrame(out) - first) / 44100, 0.3, 0.005);
}

TEST(Playback, VolumesAndPanScaleTheirKind)
{
    CaptureSession session;
    WriteWav(session.file("in.wav"), 44100, 2, Sine(44100, 2, 500, 0.3, 0.8));
    const HSTREAM stream = BASS_StreamCreateFile(FALSE, session.file("in.wav").c_str(), 0, 0, 0);
    ASSERT_NE(stream, 0u);
    ASSERT_TRUE(BASS_SetGlobalVolumes(0, -1, 50)); // music volume must not touch a stream
    ASSERT_TRUE(BASS_ChannelSetAttributes(stream, -1, -1, 60));
    int music = -2, sample = -2, streamVolume = -2;
    ASSERT_TRUE(BASS_GetGlobalVolumes(&music, &sample, &streamVolume));
    EXPECT_EQ(music, 0);
    EXPECT_EQ(sample, 100);
    EXPECT_EQ(streamVolume, 50);
    EXPECT_FALSE(BASS_SetGlobalVolumes(101, 10, 10));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);

    EndWaiter end;
    const Samples out = PlayToEnd(session, stream, end);
    const long first = FirstSoundFrame(out), last = LastSoundFrame(out);
    // 50 gives a quarter of the amplitude; pan 60 leaves 40% on the left.
    EXPECT_NEAR(Rms(out, 0, first, last), 0.8 / std::sqrt(2.0) * 0.25 * 0.4, 0.005);
    EXPECT_NEAR(Rms(out, 1, first, last), 0.8 / std::sqrt(2.0) * 0.25, 0.005);
}

TEST(Playback, PauseResumeStopAndRestart)
{
    CaptureSession session;
    WriteWav(session.file("in.wav"), 44100, 2, Noise(8820, 3));
    const HSTREAM stream = BASS_StreamCreateFile(FALSE, session.file("in.wav").c_str(), 0, 0, 0);
    ASSERT_NE(stream, 0u);
    EXPECT_EQ(BASS_ChannelIsActive(stream), DWORD(BASS_ACTIVE_STOPPED));
    EXPECT_FALSE(BASS_ChannelPause(stream));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOPLAY);
    ASSERT_TRUE(BASS_StreamPlay(stream, FALSE, 0));
    EXPECT_EQ(BASS_ChannelIsActive(stream), DWORD(BASS_ACTIVE_PLAYING));
    ASSERT_TRUE(BASS_ChannelPause(stream));
    EXPECT_EQ(BASS_ChannelIsActive(stream), DWORD(BASS_ACTIVE_PAUSED));
    ASSERT_TRUE(BASS_ChannelResume(stream));
    EXPECT_FALSE(BASS_ChannelResume(stream));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOPAUSE);
    ASSERT_TRUE(BASS_ChannelStop(stream));
    EXPECT_EQ(BASS_ChannelIsActive(stream), DWORD(BASS_ACTIVE_STOPPED));

    // Played to its end, then played again: it starts over and ends again.
    EndWaiter end;
    BASS_ChannelSetSync(stream, BASS_SYNC_END, 0, &EndWaiter::Proc, &end);
    ASSERT_TRUE(BASS_StreamPlay(stream, TRUE, 0));
    EXPECT_EQ(BASS_ChannelGetPosition(stream), 0);
    ASSERT_TRUE(end.waitFor(1));
    EXPECT_EQ(BASS_ChannelGetPosition(stream), 8820 * 4);
    ASSERT_TRUE(BASS_StreamPlay(stream, FALSE, 0));
    EXPECT_EQ(BASS_ChannelGetPosition(stream), 0);
    ASSERT_TRUE(end.waitFor(2));
}

TEST(Playback, MusicModulePlaysToItsEnd)
{
    CaptureSession session;
    testsupport::WriteFile(session.file("tiny.mod"), TinyModule());
    const HMUSIC music = BASS_MusicLoad(FALSE, session.file("tiny.mod").c_str(), 0, 0, BASS_MUSIC_MEASURELEN);
    ASSERT_NE(music, 0u) << BASS_ErrorGetCode();
    // Positions are 16-bit stereo at 44100 Hz.
    const int64_t length = BASS_MusicGetLength(music, TRUE);
    EXPECT_NEAR(BASS_ChannelBytes2Seconds(music, length), 0.64, 0.01);
    EXPECT_EQ(BASS_MusicGetLength(music, FALSE), 1);
    EXPECT_FALSE(BASS_StreamFree(music)); // not a stream
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);

    EndWaiter end;
    BASS_ChannelSetSync(music, BASS_SYNC_END, 0, &EndWaiter::Proc, &end);
    ASSERT_TRUE(BASS_MusicPlay(music));
    ASSERT_TRUE(end.waitFor(1));
    EXPECT_EQ(BASS_ChannelGetPosition(music), length);
    const Samples out = session.finish();
    const long first = FirstSoundFrame(out), last = LastSoundFrame(out);
    ASSERT_GE(first, 0);
    EXPECT_NEAR(double(last - first) / 44100, 0.64, 0.02);
    EXPECT_GT(Rms(out, 0, first, last), 0.05);
}
