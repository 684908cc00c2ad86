// in_media in its real host: each format's tone comes out of the engine at its
// frequency and length, seek and pause reach the file, more channels are mixed
// down to two, and a bad file is refused without harm.

#include "../player/PlayerHarness.h"

#include "player/PluginHost.h"
#include "support/EncodedTones.h"
#include "support/MappedLibraries.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>

using namespace player;
using namespace playertest;
using namespace testsupport;

namespace {

// Two blocks of the plug-in's output: what a stream may gain or lose at its ends.
constexpr long kBlockTolerance = 1152;

class MediaHost : public ShippedPluginTest {
  protected:
    MediaHost() : ShippedPluginTest("in_media.so") {}
    void TearDown() override
    {
        p.reset();
        UnloadPlugin("in_media.so");
    }

    // A host that reads only the first extension group claims only FLAC.
    bool hostClaims(const std::string& extension)
    {
        std::string claimed = GetPluginInfo(FindPlugin("in_media.so")).FileExtensions;
        std::transform(claimed.begin(), claimed.end(), claimed.begin(), ::toupper);
        std::string ext = extension;
        std::transform(ext.begin(), ext.end(), ext.begin(), ::toupper);
        return claimed.find(ext.substr(0, 3)) != std::string::npos;
    }

    void playToEnd() { ShippedPluginTest::playToEnd(15000); }
};

class MediaFormat : public MediaHost, public ::testing::WithParamInterface<ToneFile> {};

// The capture holds one second of 1 kHz.
void ExpectSecondOfKilohertz(const Samples& out)
{
    const long first = FirstSoundFrame(out);
    ASSERT_GE(first, 0);
    EXPECT_NEAR(ZeroCrossingHz(out, 0, first + Frames(0.1), first + Frames(0.9)), 1000.0, 3.0);
    EXPECT_NEAR(SoundSpan(out), Frames(1.0), kBlockTolerance);
}

} // namespace

TEST_P(MediaFormat, ToneSoundsAtItsFrequencyAndLength)
{
    const ToneFile type = GetParam();
    if (!hostClaims(type.extension))
        GTEST_SKIP() << "this host reads only the first group of a plug-in's extension list";
    const std::string file = MakeTone(dir.path(), "tone", type, 1000, 1.0, {"Ada Artist", "Kilohertz"});
    ASSERT_TRUE(p->Open(file));
    EXPECT_EQ(p->ChannelKind(), ckPlugin);
    EXPECT_EQ(p->StreamInfo().Title, "Ada Artist - Kilohertz");
    EXPECT_NEAR(p->PlayLength(), 1000, 50) << "codecs end on whole frames (WMA: 2048 samples)";
    playToEnd();
    ASSERT_EQ(log.pluginStarts.size(), 1u);
    EXPECT_EQ(log.pluginStarts[0], std::make_pair(uint16_t(type.channels), uint32_t(type.rate)));
    p.reset();
    EXPECT_EQ(boxes.count(), 0u);

    const Samples out = capture.read();
    ExpectSecondOfKilohertz(out);
    const long first = FirstSoundFrame(out);
    EXPECT_GT(Rms(out, 1, first + Frames(0.1), first + Frames(0.9)), 0.15) << "both sides sound";
}

INSTANTIATE_TEST_SUITE_P(Encoders, MediaFormat,
                         ::testing::Values(Flac(), Opus(), AacM4a(), AlacM4a(), WavPack(), TrueAudio(), WmaAsf()),
                         [](const auto& info) { return info.param.codec; });

TEST_F(MediaHost, TheDesktopsOtherNamesOfItsTypesPlay)
{
    // audio/ogg files named .oga or .ogg (FLAC and Opus inside), audio/mp4
    // ones .f4a, audio/aac ones .adts: the desktop hands them over as its types.
    const ToneFile types[] = {{"oga", "flac", 44100, 2, {"-f", "ogg"}}, {"oga", "libopus", 48000, 2, {"-f", "ogg"}},
                              {"ogg", "flac", 44100, 2, {"-f", "ogg"}}, {"ogg", "libopus", 48000, 2, {"-f", "ogg"}},
                              {"f4a", "aac", 44100, 2, {"-f", "mp4"}},  {"adts", "aac", 44100, 2, {"-f", "adts"}}};
    for (const ToneFile& type : types) {
        SCOPED_TRACE(::testing::PrintToString(type));
        const std::string file = MakeTone(dir.path(), "tone " + type.codec, type, 1000, 1.0);
        ASSERT_TRUE(p->Open(file));
        EXPECT_EQ(p->ChannelKind(), ckPlugin);
        EXPECT_NEAR(p->PlayLength(), 1000, 60);
    }
    // The last of them to its end.
    playToEnd();
    p.reset();
    EXPECT_EQ(boxes.count(), 0u);
    ExpectSecondOfKilohertz(capture.read());
}

// FLAC of one or two channels is read by libFLAC alone: it plays without
// mapping FFmpeg, sample for sample; more channels go to FFmpeg, mixed down.
TEST_F(MediaHost, FlacPlaysExactlyWithoutFfmpeg)
{
    const Samples noise = Noise(0.8, 5);
    WriteWav(dir.file("noise.wav"), 44100, 2, noise);
    const std::string flac = dir.file("noise.flac");
    ASSERT_EQ(std::system(("ffmpeg -nostdin -v error -y -i '" + dir.file("noise.wav") +
                           "' -c:a flac -metadata artist=Ada -metadata title=Noise '" + flac + "'")
                              .c_str()),
              0);
    const std::string narrow =
        MakeTone(dir.path(), "narrow", {"flac", "flac", 22050, 1, {"-sample_fmt", "s32"}}, 500, 0.5);
    const std::string surround = MakeTone(dir.path(), "surround", {"flac", "flac", 44100, 6, {}}, 1000, 1.0);

    ASSERT_TRUE(p->Open(narrow)) << "24 bits, mono";
    EXPECT_NEAR(p->PlayLength(), 500, 20);
    ASSERT_TRUE(p->Open(flac));
    EXPECT_EQ(p->StreamInfo().Title, "Ada - Noise");
    EXPECT_NEAR(p->PlayLength(), 800, 20);
    playToEnd();
    EXPECT_FALSE(testsupport::LibraryMapped("libavcodec")) << "FFmpeg was loaded for FLAC";

    ASSERT_TRUE(p->Open(surround)) << "six channels, through FFmpeg";
    EXPECT_NEAR(p->PlayLength(), 1000, 50);
    EXPECT_TRUE(testsupport::LibraryMapped("libavcodec"));
    p.reset();
    EXPECT_TRUE(SoundsExactly(capture.read(), noise));
    EXPECT_EQ(boxes.count(), 0u);
}

// Ogg Opus is read by libopusfile alone, surround mixed down by it, without
// mapping FFmpeg; Vorbis in an .oga or .ogg, which the plug-in is asked about
// too, is left to the engine without FFmpeg as well.
TEST_F(MediaHost, OggOpusAndVorbisPlayWithoutFfmpeg)
{
    const std::string mono = MakeTone(dir.path(), "mono", {"opus", "libopus", 48000, 1, {}}, 500, 0.5);
    const std::string surround = MakeTone(dir.path(), "surround", {"opus", "libopus", 48000, 6, {}}, 500, 0.5);
    const std::string stereo = MakeTone(dir.path(), "tone", Opus(), 1000, 1.0, {"Ada Artist", "Kilohertz"});
    for (const char* extension : {"oga", "ogg"}) {
        const std::string vorbis =
            MakeTone(dir.path(), "vorbis", {extension, "libvorbis", 44100, 2, {"-f", "ogg"}}, 500, 0.5);
        ASSERT_TRUE(p->Open(vorbis)) << extension;
        EXPECT_EQ(p->ChannelKind(), ckStream) << extension;
    }
    for (const std::string& file : {mono, surround}) {
        ASSERT_TRUE(p->Open(file)) << file;
        EXPECT_NEAR(p->PlayLength(), 500, 30) << file;
    }
    ASSERT_TRUE(p->Open(stereo));
    EXPECT_EQ(p->StreamInfo().Title, "Ada Artist - Kilohertz");
    playToEnd();
    ASSERT_EQ(log.pluginStarts.size(), 1u);
    EXPECT_EQ(log.pluginStarts[0], std::make_pair(uint16_t(2), uint32_t(48000)));
    EXPECT_FALSE(testsupport::LibraryMapped("libavcodec")) << "FFmpeg was loaded for Opus or Vorbis";
    p.reset();
    EXPECT_EQ(boxes.count(), 0u);
    ExpectSecondOfKilohertz(capture.read());
}

// AAC in MP4 and ADTS files is read by our own reader and libfaad2 alone,
// WavPack by libwavpack alone, without mapping FFmpeg; ALAC beside them goes
// to FFmpeg.
TEST_F(MediaHost, AacAndWavPackPlayWithoutFfmpeg)
{
    const std::string mono = MakeTone(dir.path(), "mono", {"m4a", "aac", 22050, 1, {}}, 500, 0.5);
    const std::string raw = MakeTone(dir.path(), "raw", {"aac", "aac", 44100, 2, {"-f", "adts"}}, 500, 0.5);
    const std::string stereo = MakeTone(dir.path(), "tone", AacM4a(), 1000, 1.0, {"Ada Artist", "Kilohertz"});
    const std::string lossless = MakeTone(dir.path(), "lossless", AlacM4a(), 500, 0.5);
    const std::string wavpack = MakeTone(dir.path(), "wavpack", WavPack(), 500, 0.5, {"Ada", "Packed"});
    ASSERT_TRUE(p->Open(wavpack));
    EXPECT_EQ(p->PlayLength(), 500u);
    EXPECT_EQ(p->StreamInfo().Title, "Ada - Packed");
    ASSERT_TRUE(p->Open(mono));
    EXPECT_EQ(p->PlayLength(), 500u);
    ASSERT_TRUE(p->Open(raw));
    EXPECT_NEAR(p->PlayLength(), 500, 24) << "whole frames";
    ASSERT_TRUE(p->Open(stereo));
    EXPECT_EQ(p->StreamInfo().Title, "Ada Artist - Kilohertz");
    EXPECT_EQ(p->PlayLength(), 1000u) << "the encoder's delay and padding left out";
    playToEnd();
    EXPECT_FALSE(testsupport::LibraryMapped("libavcodec")) << "FFmpeg was loaded for AAC or WavPack";
    ASSERT_TRUE(p->Open(lossless));
    EXPECT_TRUE(testsupport::LibraryMapped("libavcodec"));
    p.reset();
    EXPECT_EQ(boxes.count(), 0u);
    ExpectSecondOfKilohertz(capture.read());
}

class MediaSeek : public MediaFormat {};

TEST_P(MediaSeek, PauseSeekAndEndReachThePlayer)
{
    const ToneFile type = GetParam();
    if (!hostClaims(type.extension))
        GTEST_SKIP() << "this host reads only the first group of a plug-in's extension list";
    const std::string file = MakeTone(dir.path(), "two tones", type, 440, 1.0, {}, 880, 1.0);
    ASSERT_TRUE(p->Open(file));
    EXPECT_EQ(p->StreamInfo().Title, "two tones");
    EXPECT_NEAR(p->PlayLength(), 2000, 50);
    p->Play();
    ASSERT_TRUE(WaitUntil([&] { return p->Position() >= 300; }));
    p->Pause(true);
    const uint32_t at = p->Position();
    WaitUntil([] { return false; }, 300); // paused for a while
    EXPECT_EQ(p->Position(), at);
    p->Pause(false);
    p->SetPosition(1500);
    EXPECT_GE(p->Position(), 1500u);
    ASSERT_TRUE(WaitUntil([&] { return log.playEnds > 0; }));
    EXPECT_EQ(p->Mode(), psStopped);
    p.reset();
    EXPECT_EQ(log.playEnds, 1);

    const Samples out = capture.read();
    const long first = FirstSoundFrame(out), last = LastSoundFrame(out);
    EXPECT_GE(last - first - SoundSpan(out), Frames(0.25)) << "the pause as a gap";
    EXPECT_NEAR(ZeroCrossingHz(out, 0, first + 200, first + Frames(0.25)), 440.0, 3.0);
    // From the seek on: the second tone's last half second, and no more.
    EXPECT_NEAR(ZeroCrossingHz(out, 0, last - Frames(0.45), last - 200), 880.0, 3.0);
    EXPECT_NEAR(SoundSpan(out), Frames(0.3 + 0.5), Frames(0.15));
}

// Lossy streams land by their time stamps past the encoder's delay.
INSTANTIATE_TEST_SUITE_P(Encoders, MediaSeek, ::testing::Values(Flac(), Opus(), AacM4a()),
                         [](const auto& info) { return info.param.codec; });

TEST_F(MediaHost, MoreChannelsAreMixedDownToStereoAndMonoStaysMono)
{
    ToneFile surround = Flac();
    surround.channels = 6;
    ToneFile mono = Flac();
    mono.channels = 1;
    for (const ToneFile& type : {surround, mono}) {
        const std::string file = MakeTone(dir.path(), "tone" + std::to_string(type.channels), type, 660, 0.5);
        ASSERT_TRUE(p->Open(file));
        log.playEnds = 0;
        playToEnd();
    }
    ASSERT_EQ(log.pluginStarts.size(), 2u);
    EXPECT_EQ(log.pluginStarts[0].first, 2);
    EXPECT_EQ(log.pluginStarts[1].first, 1);
    p.reset();
    const Samples out = capture.read();
    const long first = FirstSoundFrame(out);
    EXPECT_NEAR(ZeroCrossingHz(out, 0, first + Frames(0.05), first + Frames(0.45)), 660.0, 3.0);
    EXPECT_NEAR(ZeroCrossingHz(out, 1, first + Frames(0.05), first + Frames(0.45)), 660.0, 3.0);
}

TEST_F(MediaHost, ZippedModulePlaysThroughThePlugin)
{
    if (!hostClaims("mdz"))
        GTEST_SKIP() << "this host reads only the first group of a plug-in's extension list";
    const std::string file = MakeZip(dir.file("tiny.mdz"), "tiny.mod", enginetest::TinyModule(), true);
    ASSERT_TRUE(p->Open(file));
    EXPECT_EQ(p->ChannelKind(), ckPlugin);
    EXPECT_NEAR(p->PlayLength(), 640, 10);
    playToEnd();
    p.reset();
    const Samples out = capture.read();
    EXPECT_NEAR(double(LastSoundFrame(out) - FirstSoundFrame(out)) / 44100, 0.64, 0.03);
}

TEST_F(MediaHost, ABadFileIsRefusedAndTheNextOnePlays)
{
    WriteFile(dir.file("noise.flac"), std::string(5000, '\x7f'));
    EXPECT_FALSE(p->Open(dir.file("noise.flac")));
    EXPECT_EQ(boxes.count(), 1u) << "the player's refusal";
    ASSERT_TRUE(p->Open(MakeTone(dir.path(), "after", Flac(), 440, 0.3)));
    playToEnd();
}
