// The program heard through the capture device: three files of different
// tones (WAV, MP3, Ogg) played, skipped, paused, sought and run to their ends;
// the tones must follow each other in the order the commands asked for.
#include "WindowHarness.h"

#include "PlayerHarness.h"
#include "controls/Slider.h"
#include "playlist/Playlist.h"
#include "support/EncodedTones.h"

#include <QSignalSpy>
#include <QTest>

#include <cmath>

using apptest::MainWindowTest;
using enginetest::Samples;

namespace {

constexpr int Silent = 0;
constexpr int Unknown = -1;

// The tone of each 1024-frame window (Silent, Unknown or its frequency), in
// runs. Tones shorter than 4 windows (about 90 ms) and silences shorter than
// 20 (the short gap from the end of one file to the start of the next, on a
// busy machine) are left out.
std::vector<int> toneRuns(const Samples& capture, const std::vector<int>& tones)
{
    const long window = 1024;
    const long frames = long(capture.size() / 2);
    std::vector<std::pair<int, int>> runs;
    for (long at = 0; at + window <= frames; at += window) {
        int tone = Unknown;
        if (enginetest::Rms(capture, 0, at, at + window) < 0.01) {
            tone = Silent;
        } else {
            const double hz = enginetest::ZeroCrossingHz(capture, 0, at, at + window);
            for (int t : tones)
                if (std::abs(hz - t) < 25)
                    tone = t;
        }
        if (!runs.empty() && runs.back().first == tone)
            ++runs.back().second;
        else
            runs.push_back({tone, 1});
    }
    std::vector<int> out;
    for (const auto& [tone, length] : runs)
        if (length >= (tone == Silent ? 20 : 4) && tone != Unknown && (out.empty() || out.back() != tone))
            out.push_back(tone);
    return out;
}

class Capture : public MainWindowTest {
  protected:
    Samples heard()
    {
        form.reset(); // the device writes its file out when the engine goes
        return capture_.read();
    }
    void pressCtrl(Qt::Key key) { QTest::keyClick(form.get(), key, Qt::ControlModifier); }
    // a.wav (1.5 s at 300 Hz), an empty empty.mp3, c.wav (1.5 s at 500 Hz).
    TForm1& startWithABrokenEntryBetweenTwoTones()
    {
        enginetest::WriteWav(files.file("a.wav"), 44100, 2, enginetest::Sine(44100, 2, 300, 1.5, 0.3));
        testsupport::WriteFile(files.file("empty.mp3"), "");
        enginetest::WriteWav(files.file("c.wav"), 44100, 2, enginetest::Sine(44100, 2, 500, 1.5, 0.3));
        TForm1& f = start();
        addFiles({files.file("a.wav"), files.file("empty.mp3"), files.file("c.wav")});
        return f;
    }
    // The runs heard, without the silence before the first sound and after the last.
    std::vector<int> heardRuns(const std::vector<int>& tones)
    {
        std::vector<int> runs = toneRuns(heard(), tones);
        while (!runs.empty() && runs.front() == Silent)
            runs.erase(runs.begin());
        while (!runs.empty() && runs.back() == Silent)
            runs.pop_back();
        return runs;
    }

  private:
    playertest::Capture capture_; // from before the player starts
};

} // namespace

TEST_F(Capture, CommandsPlayTheFilesInTheOrderAsked)
{
    // WAV: 5 s at 300 Hz, then 5 s at 400 Hz; MP3: 2 s at 500 Hz; Ogg: 6 s at 700 Hz.
    Samples wav = enginetest::Sine(44100, 2, 300, 5, 0.3);
    const Samples second = enginetest::Sine(44100, 2, 400, 5, 0.3);
    wav.insert(wav.end(), second.begin(), second.end());
    enginetest::WriteWav(files.file("a.wav"), 44100, 2, wav);
    // Not through QProcess (see MakeTone), which would blind ThreadSanitizer
    // to this thread's locks on the engine.
    ASSERT_NE(testsupport::MakeTone(files.path(), "b", {"mp3", "libmp3lame", 44100, 2, {"-b:a", "128k"}}, 500, 2), "");
    ASSERT_NE(testsupport::MakeTone(files.path(), "c", {"ogg", "libvorbis", 44100, 2, {"-q:a", "4"}}, 700, 6), "");

    TForm1& f = start();
    f.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f));
    addFiles({files.file("a.wav"), files.file("b.mp3"), files.file("c.ogg")});
    auto position = [&] { return f.AudioPlayer1().Position(); };

    f.runCommand("playbt1"); // 300
    QTest::qWait(400);
    f.runCommand("nextbt1"); // 500
    QTest::qWait(400);
    f.runCommand("prevbt1"); // 300
    QTest::qWait(400);
    f.runCommand("pausebtt1"); // silence
    QTest::qWait(900);
    f.runCommand("pausebtt1"); // 300
    QTest::qWait(300);
    pressCtrl(Qt::Key_Right); // about 6 s: 400
    EXPECT_GT(position(), 5000u);
    QTest::qWait(400);
    pressCtrl(Qt::Key_Left); // about 1.5 s: 300
    EXPECT_LT(position(), 2500u);
    QTest::qWait(400);

    // Drag the seek slider's thumb to 9.2 s: 400 until the end, then the MP3 follows.
    TSlider& seek = *f.seekSlider();
    QSignalSpy seeks(&f, &TForm1::seeked);
    const QPoint grab = seek.ThumbRect().center();
    const QPoint drop = grab + QPoint(seek.PositionOfValue(9200) - seek.PositionOfValue(seek.Value()), 0);
    QTest::mousePress(&seek, Qt::LeftButton, {}, grab);
    QTest::mouseMove(&seek, drop);
    QTest::mouseRelease(&seek, Qt::LeftButton, {}, drop);
    ASSERT_EQ(seeks.count(), 1);
    EXPECT_NEAR(double(position()), 9200, 200);
    ASSERT_TRUE(waitFor([&] { return f.playindex() == "1"; }, 3000));
    QTest::qWait(300);

    // The last entry with Repeat off: it ends and nothing follows.
    f.runCommand("nextbt1"); // 700
    QTest::qWait(300);
    pressCtrl(Qt::Key_Right);
    ASSERT_TRUE(waitFor([&] { return f.AudioPlayer1().Mode() == player::psStopped; }, 3000));
    QTest::qWait(900); // silence
    EXPECT_EQ(f.playindex(), "2");
    EXPECT_EQ(f.statusText(), "Stopped");

    // With Repeat on, the first entry follows the last.
    f.runCommand("togglerepeat1");
    f.runCommand("playbt1"); // 700 again
    QTest::qWait(300);
    pressCtrl(Qt::Key_Right);
    ASSERT_TRUE(waitFor([&] { return f.playindex() == "0"; }, 3000)); // 300
    QTest::qWait(400);
    EXPECT_EQ(f.AudioPlayer1().Mode(), player::psPlaying);
    f.runCommand("stopbt1");

    const std::vector<int> expected = {300, 500, 300, Silent, 300, 400, 300, 400, 500, 700, Silent, 700, 300};
    std::vector<int> runs = toneRuns(heard(), {300, 400, 500, 700});
    // Silence before the first sound and after the last stop is not part of the story.
    while (!runs.empty() && runs.front() == Silent)
        runs.erase(runs.begin());
    while (!runs.empty() && runs.back() == Silent)
        runs.pop_back();
    EXPECT_EQ(runs, expected);
}

TEST_F(Capture, AnEntryThatCannotBeOpenedIsSkippedAndNothingIsHeardTwice)
{
    TForm1& f = startWithABrokenEntryBetweenTwoTones();
    f.runCommand("playbt1");
    ASSERT_TRUE(waitFor([&] { return f.playindex() == "2"; }, 5000));
    ASSERT_TRUE(waitFor([&] { return f.AudioPlayer1().Mode() == player::psStopped; }, 5000));
    QTest::qWait(300);
    EXPECT_EQ(boxes.count(), 1u);
    EXPECT_EQ(heardRuns({300, 500}), (std::vector<int>{300, 500}));
}

TEST_F(Capture, WithRepeatTwoPassesOverABrokenEntryPlayEachGoodOneTwice)
{
    TForm1& f = startWithABrokenEntryBetweenTwoTones();
    f.setRepeat(true);
    // Every start of an entry, in order.
    std::vector<QString> started;
    QObject::connect(&f, &TForm1::trackChanged, [&] { started.push_back(f.nowp()); });
    f.runCommand("playbt1");
    ASSERT_TRUE(waitFor([&] { return started.size() >= 4; }, 12'000));
    // The second c plays out, then nothing more is heard.
    ASSERT_TRUE(waitFor([&] { return f.AudioPlayer1().Position() >= 1300; }, 3000));
    f.runCommand("stopbt1");
    EXPECT_EQ(started, (std::vector<QString>{"a.wav", "c.wav", "a.wav", "c.wav"}));
    EXPECT_EQ(boxes.count(), 2u) << "one box for the broken entry in each pass";
    EXPECT_EQ(heardRuns({300, 500}), (std::vector<int>{300, 500, 300, 500}));
}
