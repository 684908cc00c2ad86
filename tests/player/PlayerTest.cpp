// The player with the engine on the silent device: start-up with and without
// its libraries, the mode table, positions, volumes, stream information and
// the refusals of Open.

#include "PlayerHarness.h"

#include "player/BassBinding.h"
#include "player/PluginHost.h"
#include "support/ByteBuilder.h"
#include "support/MessageBoxRecorder.h"

#include "platform/winmsg.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <filesystem>
#include <regex>

using namespace player;
using namespace playertest;
using testsupport::TestData;

namespace {

int StreamVolume()
{
    int stream = -2;
    Bass().BASS_GetGlobalVolumes(nullptr, nullptr, &stream);
    return stream;
}

DWORD Active(const TAudioPlayer& p)
{
    return Bass().BASS_ChannelIsActive(p.Channel());
}

// "message\r\n(error code: N)", caption "Error", the error icon.
bool IsErrorBox(const platform::MessageBoxRequest& box, const std::string& message)
{
    static const std::regex code("\r\n\\(error code: -?[0-9]+\\)");
    return box.caption == "Error" && box.icon() == MB_ICONERROR && box.text.rfind(message, 0) == 0 &&
           std::regex_match(box.text.substr(message.size()), code);
}

} // namespace

TEST(PlayerStart, WithoutTheEngineEveryRequestIsRefused)
{
    ProgramFolder folder(false, false);
    testsupport::MessageBoxRecorder boxes;
    TAudioPlayer p;
    EXPECT_FALSE(p.PlayerReady());
    EXPECT_EQ(p.BASSDLLVer(), "");
    EXPECT_EQ(p.GetNativeFileExts(), "");
    EXPECT_EQ(LoadPlugin("in_testtone.so"), plNotReady);
    EXPECT_EQ(boxes.count(), 0u) << "the main window reports the missing engine";
    EXPECT_FALSE(p.Open(folder.file("a.wav")));
    p.ShowPluginConfig();
    ASSERT_EQ(boxes.count(), 2u);
    for (const auto& box : boxes.boxes())
        EXPECT_TRUE(box.text == "Player is not ready !" && box.caption == "Confirm" && box.type == MB_OK);
    p.SetVolume(50);
    p.SetSoundEffects(seFlanger | seEcho);
    p.Play();
    EXPECT_EQ(p.Mode(), psStandby);
}

TEST(PlayerStart, AnUnknownDeviceIsReported)
{
    setenv("ORVELLA_AUDIO", "no such device", 1);
    testsupport::MessageBoxRecorder boxes;
    TAudioPlayer p;
    setenv("ORVELLA_AUDIO", "null", 1);
    EXPECT_FALSE(p.PlayerReady());
    EXPECT_EQ(p.BASSDLLVer(), "");
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, "Can't initialize device\r\n(error code: 3)");
    EXPECT_TRUE(IsErrorBox(boxes.boxes()[0], "Can't initialize device"));
}

TEST(PlayerStart, AnEngineLackingAFunctionIsFreedAndNotUsed)
{
    ProgramFolder folder(false, false);
    const std::string partial = ORVELLA_TEST_PLUGIN_DIR "partial/libbass.so";
    std::filesystem::create_symlink(partial, folder.file("libbass.so"));
    EXPECT_FALSE(TAudioPlayer().PlayerReady());
    EXPECT_EQ(dlopen(partial.c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr) << "left loaded";
}

TEST(PlayerStart, WithoutTheWmaAddOnWmaFilesAreNotPlayed)
{
    ProgramFolder folder(true, false);
    testsupport::MessageBoxRecorder boxes;
    TAudioPlayer p;
    EXPECT_TRUE(p.PlayerReady());
    EXPECT_FALSE(p.BASSWMAReady());
    EXPECT_EQ(p.GetNativeFileExts(), "*.wav;*.mp1;*.mp2;*.mp3;*.mpga;*.ogg;*.oga;*.mod;*.s3m;*.xm;*.it;*.mtm;");
    TStreamInfo info;
    TSourceSupport support;
    int slot;
    EXPECT_TRUE(p.GetStreamInfo(TestData("bass/tone.wma"), info, support, slot)) << "the reader knows it";
    EXPECT_EQ(support, ssNone);
    EXPECT_FALSE(p.Open(TestData("bass/tone.wma")));
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_TRUE(IsErrorBox(boxes.boxes()[0], "Can't play the file")) << boxes.boxes()[0].text;
}

TEST(PlayerTransport, ModeTableTransitionByTransition)
{
    testsupport::TempDir dir;
    const std::string wav = dir.file("one second.wav");
    WriteWav(wav, 44100, 2, Sine(44100, 2, 440, 1.0, 0.5));
    testsupport::MessageBoxRecorder boxes;
    TAudioPlayer p;
    EventLog log;
    log.attach(p);
    EXPECT_TRUE(p.PlayerReady() && p.BASSWMAReady() && p.DX8EffectReady());
    EXPECT_EQ(p.BASSDLLVer(), "1.8");
    EXPECT_EQ(p.GetNativeFileExts(), "*.wav;*.mp1;*.mp2;*.mp3;*.mpga;*.ogg;*.oga;*.wma;*.mod;*.s3m;*.xm;*.it;*.mtm;");
    p.Play();
    EXPECT_EQ(p.Mode(), psStandby) << "nothing open";
    EXPECT_EQ(SendMessage(p.MessageWindow(), WM_QUERYENDSESSION, 0, 0), 1);

    ASSERT_TRUE(p.Open(wav));
    EXPECT_EQ(p.Mode(), psReady);
    EXPECT_EQ(p.PlayLength(), 1000u);
    p.Stop();
    p.Pause(true);
    EXPECT_EQ(p.Mode(), psReady) << "Stop and Pause act only while playing";
    p.Play();
    EXPECT_EQ(p.Mode(), psPlaying);
    p.Pause(true);
    EXPECT_EQ(p.Mode(), psPaused);
    p.Stop();
    EXPECT_EQ(p.Mode(), psPaused) << "Stop leaves a paused player paused";
    EXPECT_EQ(Active(p), DWORD(BASS_ACTIVE_PAUSED));
    p.Play();
    EXPECT_EQ(p.Mode(), psPlaying) << "Play resumes";
    EXPECT_EQ(Active(p), DWORD(BASS_ACTIVE_PLAYING));

    ASSERT_TRUE(WaitUntil([&] { return p.Position() >= 300; }));
    p.SetPosition(1001);
    EXPECT_LT(p.Position(), 1000u) << "beyond the length: ignored";
    p.Stop();
    EXPECT_EQ(p.Mode(), psStopped);
    EXPECT_EQ(Active(p), DWORD(BASS_ACTIVE_STOPPED));
    p.Play();
    EXPECT_EQ(p.Mode(), psPlaying);
    EXPECT_LT(p.Position(), 150u) << "Play from Stopped starts at 0";
    p.SetPosition(600);
    EXPECT_GE(p.Position(), 600u);

    EXPECT_FALSE(p.Open(dir.file("missing.xyz")));
    EXPECT_EQ(p.Mode(), psPlaying) << "a failed Open changes nothing";
    ASSERT_TRUE(WaitUntil([&] { return log.playEnds == 1; }));
    EXPECT_EQ(p.Mode(), psStopped);
    // Every change, and only a change, was announced.
    const std::vector<TPlayState> changes{psReady, psPlaying, psPaused, psPlaying, psStopped, psPlaying, psStopped};
    EXPECT_EQ(log.modes, changes);

    p.SetVolume(150);
    EXPECT_EQ(StreamVolume(), 100);
    p.SetVolume(40);
    p.SetVolume(-1);
    EXPECT_EQ(StreamVolume(), 40) << "-1 leaves the volume";
    p.SetVolume(-5);
    EXPECT_EQ(StreamVolume(), 0);
}

// The owner may be half destroyed when it destroys its player.
TEST(PlayerTransport, APlayerDestroyedWhilePlayingAnnouncesNoChange)
{
    testsupport::TempDir dir;
    const std::string wav = dir.file("tone.wav");
    WriteWav(wav, 44100, 2, Sine(44100, 2, 440, 2.0, 0.5));
    int changes = 0;
    {
        TAudioPlayer p;
        ASSERT_TRUE(p.Open(wav));
        p.Play();
        ASSERT_EQ(p.Mode(), psPlaying);
        p.OnModeChange = [&](TAudioPlayer&) { ++changes; };
    }
    EXPECT_EQ(changes, 0);
}

TEST(PlayerOpen, RefusalsShowTheirTextsAndKeepOrDropTheChannel)
{
    testsupport::TempDir dir;
    const std::string wav = dir.file("good.wav"), unknown = dir.file("notes.xyz"), noise = dir.file("noise.mp3");
    WriteWav(wav, 22050, 1, Sine(22050, 1, 300, 0.3, 0.3));
    testsupport::WriteFile(unknown, "just text");
    testsupport::WriteFile(noise, std::string(5000, '\x5a'));
    // A header the reader accepts, with a sample format no decoder knows.
    const std::string odd = dir.file("odd codec.wav");
    testsupport::ByteBuilder b;
    b.text("RIFF").u32le(36 + 4000).text("WAVE").text("fmt ").u32le(16).u16le(0x1234).u16le(2).u32le(44100);
    b.u32le(176400).u16le(4).u16le(16).text("data").u32le(4000).fill(4000, 0x11).writeTo(odd);

    testsupport::MessageBoxRecorder boxes;
    TAudioPlayer p;
    ASSERT_TRUE(p.Open(wav));
    const DWORD channel = p.Channel();
    EXPECT_FALSE(p.Open(unknown));
    EXPECT_FALSE(p.Open(noise));
    ASSERT_EQ(boxes.count(), 2u);
    EXPECT_TRUE(IsErrorBox(boxes.boxes()[0], "Invalid stream file(" + unknown + ") !")) << boxes.boxes()[0].text;
    EXPECT_TRUE(IsErrorBox(boxes.boxes()[1], "Invalid stream file(" + noise + ") !")) << boxes.boxes()[1].text;
    EXPECT_EQ(p.Channel(), channel) << "the open file stays";
    EXPECT_EQ(p.StreamFileName(), wav);

    EXPECT_FALSE(p.Open(odd));
    ASSERT_EQ(boxes.count(), 3u);
    EXPECT_TRUE(IsErrorBox(boxes.boxes()[2], "Can't play the file")) << boxes.boxes()[2].text;
    EXPECT_EQ(p.ChannelKind(), ckNone);
    EXPECT_EQ(Bass().BASS_ChannelGetFlags(channel), DWORD(-1)) << "the old channel was released first";
}

TEST(PlayerStreamInfo, EachFormatFillsWhatItsReaderKnows)
{
    TAudioPlayer p;
    TStreamInfo info;
    TSourceSupport support;
    int slot;
    // ID3v1 and ID3v2 both present: the ID3v1 texts, with its genre number.
    ASSERT_TRUE(p.GetStreamInfo(TestData("fileinfo/lame_cbr128.mp3"), info, support, slot));
    EXPECT_EQ(support, ssNative);
    EXPECT_EQ(info.FileSize, 34944u);
    EXPECT_EQ(info.BitRate, 128);
    EXPECT_EQ(info.Duration, 2038u); // 78 frames counted in the "Info" header
    EXPECT_EQ(info.Channels, 2);
    EXPECT_EQ(info.Title, "Cbr Title");
    EXPECT_EQ(info.Genre, "Rock"); // the ID3v2 tag has no genre text
    EXPECT_EQ(info.GenreID, 17);
    EXPECT_EQ(info.Track, 3);

    ASSERT_TRUE(p.GetStreamInfo(TestData("fileinfo/id3v23_mutagen.mp3"), info, support, slot));
    EXPECT_EQ(info.Channels, 1);
    EXPECT_EQ(info.Artist, "Narrow");
    EXPECT_EQ(info.GenreID, 0) << "only ID3v1 has a genre number";

    ASSERT_TRUE(p.GetStreamInfo(TestData("fileinfo/vorbis_comments.ogg"), info, support, slot));
    EXPECT_EQ(info.BitRate, 38);
    EXPECT_EQ(info.Year, "2003") << "the DATE comment";
    EXPECT_EQ(info.Comment, "Ogg comment");

    ASSERT_TRUE(p.GetStreamInfo(TestData("fileinfo/wmav2_tagged.wma"), info, support, slot));
    EXPECT_EQ(info.Duration, 2042u); // the play duration less the preroll
    EXPECT_EQ(info.Track, 7);

    ASSERT_TRUE(p.GetStreamInfo(TestData("fileinfo/pcm_u8_mono.wav"), info, support, slot));
    EXPECT_EQ(info.Duration, 500u);
    EXPECT_EQ(info.Title, "") << "nothing left from the previous file";
}
