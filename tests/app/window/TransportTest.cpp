// Play, pause, stop, previous, next, stepping, volume, the equalizer command
// and the track information, on the silent device.
#include "WindowHarness.h"

#include "controls/Slider.h"
#include "equalizer/Equalizerform.h"
#include "playlist/Playlist.h"

#include "support/ByteBuilder.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTest>

using apptest::MainWindowTest;
using player::psPaused;
using player::psPlaying;
using player::psStopped;

namespace {

class Transport : public MainWindowTest {
  protected:
    // Three long entries, so nothing ends during a test.
    void startWithThreeEntries()
    {
        start();
        addFiles({wavFile("first.wav", 20), wavFile("second.wav", 20), wavFile("third.wav", 20)});
        entries = list().ListBox1.Items();
    }
    player::TPlayState mode() const { return form->AudioPlayer1().Mode(); }

    std::vector<std::string> entries;
};

} // namespace

TEST_F(Transport, PreviousFromTheFirstPlaysTheLastAndNextFromTheLastPlaysTheFirst)
{
    startWithThreeEntries();
    playEntry(0);
    ASSERT_EQ(mode(), psPlaying);
    EXPECT_EQ(playing(), entries[0]);

    form->runCommand("prevbt1");
    EXPECT_EQ(playing(), entries[2]);
    EXPECT_EQ(form->playindex(), "2");
    EXPECT_EQ(list().ListBox1.ItemIndex(), 2);
    EXPECT_EQ(list().Highlighted(), 2);
    EXPECT_EQ(form->nowp(), "third.wav");

    form->runCommand("nextbt1");
    EXPECT_EQ(playing(), entries[0]);
    EXPECT_EQ(form->playindex(), "0");
    EXPECT_EQ(list().Highlighted(), 0);
    EXPECT_EQ(mode(), psPlaying);
}

TEST_F(Transport, PauseResumesStopLeavesAPausedFilePausedAndPlayResumesIt)
{
    startWithThreeEntries();
    QSignalSpy states(form.get(), &TForm1::playStateChanged);
    playEntry(0);
    form->runCommand("pausebtt1");
    EXPECT_EQ(mode(), psPaused);
    EXPECT_EQ(form->statusText(), "Paused");

    form->runCommand("stopbt1");
    EXPECT_EQ(mode(), psPaused);

    // Another entry is selected, but Play resumes the paused file.
    list().ListBox1.setItemIndex(2);
    form->runCommand("playbt1");
    EXPECT_EQ(mode(), psPlaying);
    EXPECT_EQ(playing(), entries[0]);
    EXPECT_EQ(states.count(), 3); // playing, paused, playing

    form->runCommand("stopbt1");
    EXPECT_EQ(mode(), psStopped);
    EXPECT_EQ(form->statusText(), "Stopped");
}

TEST_F(Transport, PauseAndStopStillReachAFilePlayingFromAnEmptiedPlaylist)
{
    startWithThreeEntries();
    playEntry(1);
    form->runCommand("clearplaylistbt1");
    form->runCommand("pausebtt1");
    EXPECT_EQ(mode(), psPaused);
    form->runCommand("pausebtt1");
    EXPECT_EQ(mode(), psPlaying);

    form->seekSlider()->setValue(50);
    form->runCommand("stopbt1");
    EXPECT_EQ(mode(), psStopped);
    EXPECT_EQ(form->statusText(), "No File Loaded");
    EXPECT_EQ(form->seekSlider()->Value(), 0);
    // Nothing to do now.
    form->runCommand("stopbt1");
    form->runCommand("nextbt1");
    form->runCommand("prevbt1");
    form->runCommand("playbt1");
    EXPECT_EQ(mode(), psStopped);
}

TEST_F(Transport, SteppingStopsAtBothEndsOfTheFile)
{
    startWithThreeEntries();
    QSignalSpy seeks(form.get(), &TForm1::seeked);
    playEntry(0);
    TSlider& seek = *form->seekSlider();
    EXPECT_EQ(seek.MaxValue(), 20000);

    seek.setValue(17000);
    form->stepforward1();
    EXPECT_EQ(seek.Value(), 20000);
    seek.setValue(3000);
    form->runCommand("stepbackward1");
    EXPECT_EQ(seek.Value(), 0);
    EXPECT_LT(form->AudioPlayer1().Position(), 1000u);
    form->runCommand("stepforward1");
    EXPECT_EQ(seek.Value(), 5000);
    EXPECT_NEAR(double(form->currentPositionMs()), 5000, 300);
    EXPECT_EQ(form->elapsedText(), "00:05");
    ASSERT_EQ(seeks.count(), 3);
    EXPECT_EQ(seeks.last().at(0).toLongLong(), 5000);

    // Only while playing.
    form->runCommand("pausebtt1");
    form->runCommand("stepforward1");
    EXPECT_EQ(seek.Value(), 5000);
}

TEST_F(Transport, TheSeekSliderFollowsPlaybackAgainAfterADragEndedWhilePaused)
{
    startWithThreeEntries();
    playEntry(0);
    TSlider& seek = *form->seekSlider();
    emit seek.OnStartTracking();
    form->runCommand("pausebtt1");
    emit seek.OnStopTracking();
    form->runCommand("pausebtt1");
    form->AudioPlayer1().SetPosition(9000);
    EXPECT_TRUE(waitFor([&] { return seek.Value() >= 9000; }, 2500));
}

TEST_F(Transport, VolumeStepsByTwoAndReportsOnlyRealChanges)
{
    start();
    QSignalSpy volumes(form.get(), &TForm1::volumeChanged);
    TSlider& volume = *form->volumeSlider();
    volume.setValue(99);
    form->runCommand("volumeup1");
    EXPECT_EQ(volume.Value(), 100);
    form->runCommand("volumeup1");
    EXPECT_EQ(volume.Value(), 100);
    EXPECT_EQ(volumes.count(), 2); // 99, then 100; nothing for the clamped step
    form->runCommand("volumedown1");
    EXPECT_EQ(volume.Value(), 98);
    volume.setValue(1);
    form->runCommand("volumedown1");
    EXPECT_EQ(volume.Value(), 0);
}

TEST_F(Transport, MissingEntriesAreSkippedSilentlyAndEachIsTriedOnce)
{
    start();
    addFiles({files.file("gone1.wav"), files.file("gone2.wav"), files.file("gone3.wav")});
    form->setRepeat(true);
    form->runCommand("playbt1");
    EXPECT_EQ(form->statusText(), "No playable files");
    EXPECT_EQ(form->playindex(), "2");
    // The status timer leaves the message in place.
    QTest::qWait(200);
    EXPECT_EQ(form->statusText(), "No playable files");
    EXPECT_EQ(boxes.count(), 0u);

    // Without Repeat the skipping ends at the last entry, as always.
    form->setRepeat(false);
    list().ListBox1.setItemIndex(0);
    form->runCommand("playbt1");
    EXPECT_EQ(form->playindex(), "2");
    EXPECT_TRUE(waitFor([&] { return form->statusText() != "No playable files"; }));

    // A playable entry behind missing ones is reached.
    const std::string good = wavFile("good.wav", 20);
    addFiles({good});
    form->setRepeat(true);
    list().ListBox1.setItemIndex(1);
    form->runCommand("playbt1");
    EXPECT_EQ(playing(), good);
    EXPECT_EQ(form->playindex(), "3");
    EXPECT_EQ(boxes.count(), 0u);
}

TEST_F(Transport, EqualizerBandsReachThePlayerAndOtherNumbersChangeNoGain)
{
    start();
    TEqualizerform& eq = *form->equalizerWindow();
    eq.band(3)->setValue(20);
    EXPECT_FLOAT_EQ(form->AudioPlayer1().EQBandGains()[2], 5.0f);
    eq.band(10)->setValue(0);
    EXPECT_FLOAT_EQ(form->AudioPlayer1().EQBandGains()[9], -15.0f);
    eq.Label1->setText("11");
    form->runCommand("eqchange");
    EXPECT_FLOAT_EQ(form->AudioPlayer1().EQBandGains()[2], 5.0f);
    EXPECT_FLOAT_EQ(form->AudioPlayer1().EQBandGains()[9], -15.0f);
}

TEST_F(Transport, TrackInformationOfAnMp3WithAnId3v2TagAndOfAWav)
{
    // "Band" and "song one" in an ID3v2.3 tag before a joint-stereo MP3.
    auto frame = [](const char* id, std::string_view text) {
        testsupport::ByteBuilder b;
        b.text(id).u32be(uint32_t(text.size() + 1)).u16be(0).u8(0).text(text);
        return b.str();
    };
    const std::string frames = frame("TPE1", "band") + frame("TIT2", "song one");
    testsupport::ByteBuilder mp3;
    mp3.text("ID3").u8(3).u8(0).u8(0).syncsafe32(uint32_t(frames.size())).append(frames);
    mp3.append(testsupport::ReadFile(testsupport::TestData("bass/tone.mp3")));
    mp3.writeTo(files.file("tagged.mp3"));

    start();
    addFiles({files.file("tagged.mp3"), wavFile("quiet tune.wav", 20)});
    QSignalSpy tracks(form.get(), &TForm1::trackChanged);
    playEntry(0);
    EXPECT_EQ(form->displayCaption(), "Band - Song One");
    EXPECT_EQ(form->currentArtist(), "Band");
    EXPECT_EQ(form->currentTitle(), "Song One");
    EXPECT_EQ(form->channelText(), "Stereo");
    EXPECT_EQ(form->sampleText(), "44100");
    EXPECT_EQ(form->bitrateText(), "128");
    EXPECT_FALSE(form->encoderedit().isEmpty());
    EXPECT_EQ(form->timersec(), "");
    EXPECT_EQ(tracks.count(), 1);

    playEntry(1);
    EXPECT_EQ(form->currentArtist(), "Quiet Tune.wav");
    EXPECT_EQ(form->currentTitle(), "");
    EXPECT_EQ(form->displayCaption(), "Quiet Tune.wav");
    EXPECT_EQ(form->bitrateText(), "128"); // 8000 Hz x 1 channel x 16 bits
    EXPECT_EQ(form->sampleText(), "8000");
    EXPECT_EQ(form->channelText(), "Mono");
    EXPECT_EQ(form->currentLengthMs(), 20000);
    EXPECT_TRUE(waitFor([&] { return form->timersec() == "20"; }, 2500));
}
