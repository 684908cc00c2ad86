// Play, pause, stop, previous, next, stepping, volume, the equalizer command
// and the track information, on the silent device.
#include "WindowHarness.h"

#include "app/display/FrequencyGauge.h"
#include "controls/Slider.h"
#include "equalizer/EqualizerWindow.h"
#include "playlist/PlaylistWindow.h"

#include "bass/EngineHarness.h"
#include "support/ByteBuilder.h"

#include <QAction>
#include <QBackingStore>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <map>
#include <set>

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
    testsupport::ByteBuilder mp3;
    mp3.append(testsupport::Id3v23ArtistTitle("band", "song one"));
    mp3.append(testsupport::ReadFile(testsupport::TestData("bass/tone.mp3")));
    mp3.writeTo(files.file("tagged.mp3"));

    start();
    addFiles({files.file("tagged.mp3"), wavFile("quiet tune.wav", 20)});
    QSignalSpy tracks(form.get(), &TForm1::trackChanged);
    playEntry(0);
    EXPECT_EQ(form->displayCaption(), "Band - Song One");
    EXPECT_EQ(form->currentArtist(), "Band");
    EXPECT_EQ(form->currentTitle(), "Song One");
    EXPECT_EQ(form->currentTagArtist(), "band") << "the tag's own text";
    EXPECT_EQ(form->currentTagTitle(), "song one");
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

TEST_F(Transport, AnEntryThatCannotBeOpenedIsReportedWithoutWaitingAndSkipped)
{
    start();
    testsupport::WriteFile(files.file("empty.mp3"), "");
    testsupport::WriteFile(files.file("text.wav"), "not audio at all");
    addFiles({wavFile("a.wav", 20), files.file("empty.mp3"), wavFile("c.wav", 20)});
    const std::vector<std::string> paths = list().ListBox1.Items();

    playEntry(0);
    form->runCommand("nextbt1");
    EXPECT_EQ(playing(), paths[2]) << "the entry after the broken one";
    EXPECT_EQ(mode(), psPlaying);
    EXPECT_EQ(form->playindex(), "2");
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_TRUE(boxes.boxes()[0].modeless) << "playback goes on while the box shows";
    EXPECT_EQ(boxes.boxes()[0].caption, "Error");
    EXPECT_NE(boxes.boxes()[0].text.find("empty.mp3"), std::string::npos);

    // Back from c: past the broken entry to the one before it, not c again.
    form->runCommand("prevbt1");
    EXPECT_EQ(playing(), paths[0]);
    EXPECT_EQ(form->playindex(), "0");
    EXPECT_EQ(boxes.count(), 2u);

    // A double-click on the broken entry plays the one after it.
    playEntry(1);
    EXPECT_EQ(playing(), paths[2]);
    EXPECT_EQ(boxes.count(), 3u);

    // The broken entry last, Repeat off: nothing to go on to; nothing replayed.
    form->runCommand("clearplaylistbt1");
    addFiles({wavFile("a.wav", 20), files.file("empty.mp3")});
    playEntry(0);
    form->runCommand("nextbt1");
    EXPECT_NE(mode(), psPlaying);
    EXPECT_EQ(form->playindex(), "1");
}

TEST_F(Transport, WhenNoEntryOpensEachIsReportedOnceAndPlaybackStops)
{
    start();
    testsupport::WriteFile(files.file("empty.mp3"), "");
    testsupport::WriteFile(files.file("text.wav"), "not audio at all");
    addFiles({files.file("empty.mp3"), files.file("text.wav"), files.file("empty.mp3")});
    form->setRepeat(true);
    form->runCommand("playbt1");
    EXPECT_EQ(form->statusText(), "No playable files");
    EXPECT_EQ(boxes.count(), 3u) << "one box per entry and pass";
    EXPECT_NE(mode(), psPlaying);
}

TEST_F(Transport, ASeekDragWhilePausedMovesThePosition)
{
    startWithThreeEntries();
    QSignalSpy seeks(form.get(), &TForm1::seeked);
    playEntry(0);
    form->runCommand("pausebtt1");
    TSlider& seek = *form->seekSlider();
    const QPoint grab = seek.ThumbRect().center();
    const QPoint drop = grab + QPoint(seek.PositionOfValue(12000) - seek.PositionOfValue(seek.Value()), 0);
    QTest::mousePress(&seek, Qt::LeftButton, {}, grab);
    QTest::mouseMove(&seek, drop);
    QTest::mouseRelease(&seek, Qt::LeftButton, {}, drop);
    ASSERT_EQ(seeks.count(), 1);
    EXPECT_EQ(mode(), psPaused);
    EXPECT_NEAR(double(form->currentPositionMs()), seek.Value(), 200);
    EXPECT_NEAR(double(seek.Value()), 12000, 400);
    EXPECT_EQ(form->elapsedText().left(4), "00:1");

    form->runCommand("pausebtt1");
    QTest::qWait(300);
    EXPECT_GE(form->currentPositionMs(), seek.Value()) << "resume goes on from there";
    // The slider follows playback again.
    EXPECT_TRUE(waitFor([&] { return seek.Value() > 12000; }, 2500));
}

TEST_F(Transport, SpacePlaysAndPausesInTheMainWindowOnly)
{
    startWithThreeEntries();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    QTest::keyClick(form.get(), Qt::Key_Space);
    EXPECT_EQ(mode(), psPlaying);
    EXPECT_EQ(playing(), entries[0]);
    QTest::keyClick(form.get(), Qt::Key_Space);
    EXPECT_EQ(mode(), psPaused);
    QTest::keyClick(form.get(), Qt::Key_Space);
    EXPECT_EQ(mode(), psPlaying);
    for (const QString& name : form->commandNames())
        EXPECT_FALSE(form->commandAction(name)->shortcuts().contains(QKeySequence(Qt::Key_Space)))
            << name.toStdString();

    // In the playlist window Space is the list's own key.
    list().show();
    list().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&list()));
    QTest::keyClick(list().realbox(), Qt::Key_Space);
    EXPECT_EQ(mode(), psPlaying);
}

// The status timer slows down once nothing changes; a command brings it back,
// so a pause still shows its status and clears the spectrum at once.
TEST_F(Transport, AfterAQuietSpellAPauseStillClearsTheSpectrumAtOnce)
{
    startWithThreeEntries();
    playEntry(0);
    ASSERT_TRUE(waitFor([&] { return form->spectrum()->Shown() == &form->spectrum()->WorkBitmap(); }));
    QTest::qWait(1500); // playing steadily: nothing for the status timer to do
    EXPECT_EQ(form->statusText(), "Playing ");

    form->runCommand("pausebtt1");
    QTest::qWait(200);
    EXPECT_EQ(form->spectrum()->Shown(), &form->spectrum()->BackgroundBitmap());
    EXPECT_EQ(form->statusText(), "Paused");
}

namespace {

// Counts the ticks of every QTimer in the program.
class TimerTicks : public QObject {
  public:
    TimerTicks() { qApp->installEventFilter(this); }
    ~TimerTicks() override { qApp->removeEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Timer && qobject_cast<QTimer*>(watched))
            ++count;
        return false;
    }
    int count = 0;
};

} // namespace

// Paused or stopped, the window's timers have nothing to do and sleep, so a
// program at rest wakes for nothing; a change of the player's mode wakes
// them, even one that no command of the window made.
TEST_F(Transport, AtRestTheTimersSleepAndAChangeOfModeWakesThem)
{
    startWithThreeEntries();
    playEntry(0);
    ASSERT_TRUE(waitFor([&] { return form->spectrum()->Shown() == &form->spectrum()->WorkBitmap(); }));
    QTest::qWait(300);

    form->AudioPlayer1().Pause(true);
    QTest::qWait(200);
    EXPECT_EQ(form->statusText(), "Paused");
    EXPECT_EQ(form->spectrum()->Shown(), &form->spectrum()->BackgroundBitmap());
    QTest::qWait(1200); // a quiet spell
    {
        TimerTicks paused;
        QTest::qWait(1500);
        EXPECT_EQ(paused.count, 0);
    }

    // Resumed, the slider is where playback is at once, and moves with it.
    const uint32_t pausedAt = form->AudioPlayer1().Position();
    form->runCommand("pausebtt1");
    QTest::qWait(100);
    EXPECT_NEAR(form->seekSlider()->Value(), double(pausedAt), 300);
    ASSERT_TRUE(waitFor([&] { return form->seekSlider()->Value() > int(pausedAt) + 500; }, 2500));

    form->runCommand("stopbt1");
    QTest::qWait(1300);
    TimerTicks stopped;
    QTest::qWait(1500);
    EXPECT_EQ(stopped.count, 0);
    EXPECT_EQ(form->statusText(), "Stopped");
}

namespace {

// Counts the paint events of the widgets of one window.
class PaintCounter : public QObject {
  public:
    explicit PaintCounter(QWidget* window) : window_(window) {}
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (event->type() == QEvent::Paint && widget && widget->window() == window_)
            ++paints[widget->objectName().isEmpty() ? widget->metaObject()->className() : widget->objectName()];
        return false;
    }
    std::map<QString, int> paints;

  private:
    QWidget* window_;
};

} // namespace

// A spectrum frame changes the spectrum's own box and nothing else: no
// parent or sibling of it, no label whose text stayed the same.
TEST_F(Transport, WhilePlayingOnlyTheSpectrumIsPaintedEveryFrame)
{
    start();
    // Two tones taking turns every tenth of a second, so every frame differs.
    enginetest::Samples changing;
    for (int part = 0; part < 100; ++part) {
        const enginetest::Samples tone = enginetest::Sine(8000, 1, part % 2 ? 300 : 2500, 0.1, 0.3);
        changing.insert(changing.end(), tone.begin(), tone.end());
    }
    enginetest::WriteWav(files.file("changing.wav"), 8000, 1, changing);
    addFiles({files.file("changing.wav")});
    playEntry(0);
    ASSERT_TRUE(waitFor([&] { return form->spectrum()->Shown() == &form->spectrum()->WorkBitmap(); }));
    QTest::qWait(300); // the status and the track information settle

    // The frames go straight into the window's backing store: count the
    // pictures seen there.
    auto* store = dynamic_cast<QImage*>(form->backingStore()->paintDevice());
    ASSERT_TRUE(store);
    const QRect box(form->spectrum()->mapTo(form.get(), QPoint(0, 0)), form->spectrum()->size());
    PaintCounter counter(form.get());
    qApp->installEventFilter(&counter);
    int pictures = 0;
    QImage last;
    for (int look = 0; look < 30; ++look) {
        QTest::qWait(50);
        const QImage now = store->copy(box);
        pictures += now != last;
        last = now;
    }
    qApp->removeEventFilter(&counter);
    EXPECT_GE(pictures, 10);
    // Only the clock and the seek thumb (with what lies under it) change,
    // once a second.
    const std::set<QString> onceASecond = {"realtimeedit", "Slider1", "TSliderThumb", "QWidget", "TForm1"};
    for (const auto& [name, count] : counter.paints) {
        if (name == "GaugePaintBox")
            continue;
        if (onceASecond.count(name))
            EXPECT_LE(count, 2) << name.toStdString();
        else
            ADD_FAILURE() << name.toStdString() << " painted " << count << " times";
    }
}

// Out of sight (minimised, on another desktop: its exposure ends, as when it
// is hidden), the window has no spectrum computed; back in sight, it has.
TEST_F(Transport, AWindowOutOfSightHasNoSpectrumComputed)
{
    start();
    enginetest::WriteWav(files.file("tone.wav"), 8000, 1, enginetest::Sine(8000, 1, 1000, 6.0, 0.3));
    addFiles({files.file("tone.wav")});
    player::TAudioPlayer& player = form->AudioPlayer1();
    int frames = 0;
    player.OnNewFFTData = [&frames, shown = player.OnNewFFTData](player::TAudioPlayer& p, const player::TBandOut& b) {
        ++frames;
        shown(p, b);
    };
    playEntry(0);
    ASSERT_TRUE(waitFor([&] { return frames >= 3; }));

    form->hide();
    QTest::qWait(50); // a frame already on its way
    const int hidden = frames;
    QTest::qWait(300);
    EXPECT_EQ(frames, hidden);
    EXPECT_EQ(player.Mode(), player::psPlaying);

    // A peak mark held from before, in a band the tone leaves dark: within its
    // eight frames of hold it would still stand.
    form->spectrum()->PeakLevels[20] = 20.5f;
    form->spectrum()->PeakHold[20] = 0;
    form->show();
    ASSERT_TRUE(waitFor([&] { return frames >= hidden + 2; }));
    EXPECT_LT(form->spectrum()->PeakLevels[20], 1.0f) << "peaks start afresh";
    EXPECT_EQ(form->spectrum()->Shown(), &form->spectrum()->WorkBitmap());
}
