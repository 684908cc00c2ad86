// Playing through the module record with a recording host: the calls the
// plug-in makes, what reaches the output, seeks, pauses, the end of a stream
// and stopping in any state; the information queries beside it.

#include "PcmkitTest.h"

#include "Module.h"

#include "support/ByteBuilder.h"
#include "support/MessageBoxRecorder.h"
#include "support/TempDir.h"

#include "platform/msgbox.h"
#include "platform/winmsg.h"

#include <gtest/gtest.h>

using namespace pcmkit;
using namespace pcmkit_test;
using testsupport::TestData;

namespace {

// The plug-in started with its settings in a file of the test's own.
class Playback : public ::testing::Test {
  protected:
    void SetUp() override
    {
        override_settings_file(dir.file("host.ini"));
        plugin_module().Init();
        cfg_ext_mask = 0x7FF;
        host.attach(plugin_module());
    }
    void TearDown() override
    {
        plugin_module().Stop();
        plugin_module().Quit();
        override_settings_file("");
        plugin_module().MainWindow = nullptr;
        plugin_module().OutModule = nullptr;
    }

    bool called(const std::string& name, const std::vector<int>& args) const
    {
        for (const TestHost::Call& c : host.calls())
            if (c.name == name && c.args == args)
                return true;
        return false;
    }

    template <typename Condition> bool waitFor(Condition condition) { return platform::PumpWait(1000, 5, condition); }

    testsupport::TempDir dir;
    TestHost host;
    TInModule& m = plugin_module();
};

} // namespace

TEST_F(Playback, AFileIsPlayedToTheEndAndTheHostIsTold)
{
    const std::string file = TestData("pcmkit/pcm16-stereo.wav");
    ASSERT_EQ(m.Play(file.c_str()), 0);
    ASSERT_TRUE(host.waitForEof());
    EXPECT_EQ(host.written(), DecodeFile(file).bytes);
    EXPECT_TRUE(called("Open", {22050, 2, 16, -1, -1}));
    EXPECT_TRUE(called("SetVolume", {-666}));
    EXPECT_TRUE(called("SetPan", {0}));
    EXPECT_TRUE(called("VisInit", {250, 22050}));
    EXPECT_TRUE(called("VisSetInfo", {22050, 2}));
    EXPECT_TRUE(called("SetInfo", {706, 22, 2, 1})); // 705.6 kbit/s rounds up
    EXPECT_EQ(host.emptyWrites(), 1);
    EXPECT_EQ(m.GetLength(), 250);
    m.Stop();
    EXPECT_TRUE(called("Close", {}));
    EXPECT_TRUE(called("VisDeInit", {}));
    EXPECT_EQ(m.GetLength(), -1);
}

TEST_F(Playback, AStreamWithNothingInItStillEnds)
{
    testsupport::WriteFile(
        dir.file("empty.au"),
        testsupport::ByteBuilder().text(".snd").u32be(24).u32be(100).u32be(3).u32be(8000).u32be(1).str());
    ASSERT_EQ(m.Play(dir.file("empty.au").c_str()), 0);
    ASSERT_TRUE(host.waitForEof());
    EXPECT_EQ(host.emptyWrites(), 1);
    EXPECT_TRUE(host.written().empty());
}

TEST_F(Playback, ASeekFlushesTheOutputAndPlaysOnFromThere)
{
    host.room = 0; // nothing can be written until the seek has been made
    host.lag = 30;
    const std::string file = TestData("pcmkit/pcm16-stereo.wav");
    ASSERT_EQ(m.Play(file.c_str()), 0);
    m.SetOutputTime(100);
    ASSERT_TRUE(waitFor([&] { return !host.flushes().empty(); }));
    EXPECT_EQ(host.flushes(), std::vector<int>{100});
    EXPECT_EQ(m.GetOutputTime(), 100 - 30);
    host.room = 1 << 24;
    ASSERT_TRUE(host.waitForEof());
    EXPECT_EQ(host.written(), DecodeFile(file).bytes.substr(2205 * 4)); // from frame 22050 * 100 / 1000
    EXPECT_EQ(m.GetOutputTime(), 250 - 30);
}

TEST_F(Playback, SeeksOnAStreamThatCannotSeekAreNeverMade)
{
    host.room = 0;
    const std::string file = TestData("pcmkit/g721.au");
    ASSERT_EQ(m.Play(file.c_str()), 0);
    m.SetOutputTime(100);
    host.room = 1 << 24;
    ASSERT_TRUE(host.waitForEof());
    EXPECT_TRUE(host.flushes().empty());
    EXPECT_EQ(host.written(), DecodeFile(file).bytes);
}

TEST_F(Playback, VisualisationGetsSixteenBitsOfWiderStreams)
{
    ASSERT_EQ(m.Play(TestData("pcmkit/pcm24-stereo.wav").c_str()), 0);
    ASSERT_TRUE(host.waitForEof());
    EXPECT_TRUE(called("Open", {22050, 2, 24, -1, -1}));
    EXPECT_EQ(host.visualisedBits(), 16);
    EXPECT_EQ(host.written().size(), 5512u * 6);
}

TEST_F(Playback, StopEndsAThreadWaitingForTheOutputToDrain)
{
    testsupport::MessageBoxRecorder boxes;
    host.playing = 1; // the output never finishes
    ASSERT_EQ(m.Play(TestData("pcmkit/pcm8-mono.wav").c_str()), 0);
    ASSERT_TRUE(waitFor([&] { return host.emptyWrites() == 1; }));
    m.Stop();
    EXPECT_TRUE(called("Close", {}));
    EXPECT_FALSE(host.waitForEof(50));
    EXPECT_EQ(boxes.count(), 0u);
}

TEST_F(Playback, AThreadStopGaveUpOnEndsBeforeQuitReturnsAndCallsNothingMore)
{
    testsupport::MessageBoxRecorder boxes;
    host.stallMs = 5000; // the first Write hangs longer than Stop waits
    ASSERT_EQ(m.Play(TestData("pcmkit/pcm8-mono.wav").c_str()), 0);
    ASSERT_TRUE(waitFor([&] { return host.stalled.load(); }));
    m.Stop();
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, "error asking thread to die");
    const int calls = host.outputCalls;
    m.Quit(); // before the host may unload the library
    EXPECT_FALSE(host.stalled) << "the thread is still in the library";
    EXPECT_EQ(host.outputCalls, calls) << "a killed thread calls the output no more";
}

TEST_F(Playback, PauseReachesTheOutputOnce)
{
    m.Pause(); // nothing open: nothing to pause
    EXPECT_EQ(m.IsPaused(), 0);
    host.room = 0;
    ASSERT_EQ(m.Play(TestData("pcmkit/pcm8-mono.wav").c_str()), 0);
    m.Pause();
    m.Pause();
    EXPECT_EQ(m.IsPaused(), 1);
    m.UnPause();
    EXPECT_EQ(m.IsPaused(), 0);
    int pauses = 0, resumes = 0;
    for (const TestHost::Call& c : host.calls()) {
        pauses += c.name == "Pause" && c.args == std::vector<int>{1};
        resumes += c.name == "Pause" && c.args == std::vector<int>{0};
    }
    EXPECT_EQ(pauses, 1);
    EXPECT_EQ(resumes, 1);
}

TEST_F(Playback, FilesThatCannotBePlayed)
{
    testsupport::MessageBoxRecorder boxes;
    EXPECT_EQ(m.Play(dir.file("missing.wav").c_str()), -1);
    EXPECT_EQ(boxes.count(), 0u);
    testsupport::WriteFile(dir.file("text.wav"), "just some words");
    EXPECT_EQ(m.Play(dir.file("text.wav").c_str()), 1);
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, "Invalid file type.");
    EXPECT_EQ(boxes.boxes()[0].owner, host.window());
    EXPECT_EQ(m.IsOurFile(dir.file("text.wav").c_str()), 0); // the host goes by extension
}

TEST_F(Playback, FileInformationForOtherFilesAndForTheOneOpen)
{
    char title[256];
    int length = -5;
    m.GetFileInfo("/no/such/folder/Song.Name.wav", title, &length);
    EXPECT_STREQ(title, "Song.Name");
    EXPECT_EQ(length, 0);
    const std::string file = TestData("pcmkit/pcm16-stereo.wav");
    m.GetFileInfo(file.c_str(), title, &length);
    EXPECT_STREQ(title, "pcm16-stereo");
    EXPECT_EQ(length, 250);

    testsupport::MessageBoxRecorder boxes;
    EXPECT_EQ(m.InfoBox("/no/such/file.wav", nullptr), 1);
    EXPECT_EQ(boxes.count(), 0u);

    host.room = 0;
    ASSERT_EQ(m.Play(file.c_str()), 0);
    length = 0;
    m.GetFileInfo(nullptr, title, &length); // the stream that is open
    EXPECT_STREQ(title, "pcm16-stereo");
    EXPECT_EQ(length, 250);
    EXPECT_EQ(m.InfoBox(nullptr, host.window()), 0);
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_EQ(boxes.boxes()[0].caption, "File info");
    EXPECT_EQ(boxes.boxes()[0].text,
              "File: \"" + file + "\"\nFormat: PCM, 22050 Hz, 2 channel(s), 16 bits per sample\nLength: 0:00");
}
