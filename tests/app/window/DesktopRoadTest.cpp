// Files reaching the main window from the desktop: the command line, the
// command channel and drops. What plays is heard through the capture.
#include "WindowHarness.h"

#include "PlayerHarness.h"
#include "ShellIntegration.h"
#include "playlist/PlaylistWindow.h"
#include "prefs/PreferencesWindow.h"
#include "shell/CommandHandler.h"

#include <QDir>
#include <QListWidget>
#include <QTest>

#include <filesystem>

using apptest::MainWindowTest;
using player::psPaused;
using player::psPlaying;

namespace {

// The mean pitch of what sounded, silence left out.
double HeardHz(const enginetest::Samples& capture)
{
    const long window = 2048;
    double sum = 0;
    int windows = 0;
    for (long at = 0; at + window <= long(capture.size() / 2); at += window) {
        if (enginetest::Rms(capture, 0, at, at + window) < 0.01)
            continue;
        sum += enginetest::ZeroCrossingHz(capture, 0, at, at + window);
        ++windows;
    }
    return windows == 0 ? 0 : sum / windows;
}

class HeardThroughTheCapture : public MainWindowTest {
  protected:
    enginetest::Samples heard()
    {
        form.reset(); // the device writes its file out when the engine goes
        return capture_.read();
    }

  private:
    playertest::Capture capture_; // from before the player starts
};

} // namespace

TEST_F(HeardThroughTheCapture, AfterADropWithAnUnreadableListTheSecondRowPlaysTheSecondFile)
{
    TForm1& f = start();
    const std::string a = wavFile("alpha.wav", 3.0, 300);
    const std::string b = wavFile("bravo.wav", 3.0, 600);
    addFiles({a, files.file("missing.m3u"), b});
    ASSERT_EQ(list().ListBox1.Items(), (std::vector<std::string>{a, b}));
    ASSERT_EQ(list().realboxItems().Count(), 2);
    EXPECT_TRUE(list().realboxItems().Item(1).caption.contains("Bravo"));
    EXPECT_EQ(boxes.count(), 1u);

    playEntry(1);
    ASSERT_TRUE(waitFor([&] { return f.AudioPlayer1().Mode() == psPlaying; }));
    QTest::qWait(800);
    f.runCommand("stopbt1");
    EXPECT_EQ(playing(), b);
    EXPECT_NEAR(HeardHz(heard()), 600, 40);
}

TEST_F(MainWindowTest, AnAlbumListFromAnotherFolderResolvesBesideItAndItsFirstEntryPlays)
{
    std::filesystem::create_directories(files.file("album"));
    std::filesystem::create_directories(files.file("elsewhere"));
    const std::string intro = wavFile("album/01 intro.wav", 2.0);
    const std::string song = wavFile("album/02 song.wav", 3.0);
    testsupport::WriteFile(files.file("album/album.m3u"), "#EXTM3U\r\n01 intro.wav\r\n02 song.wav\r\n");
    QDir::setCurrent(QString::fromStdString(files.file("elsewhere")));

    // As main() hands over a plain start's command line.
    form = std::make_unique<TForm1>(QStringList{QDir::current().absoluteFilePath("../album/album.m3u")});
    form->setPlayArguments(true);
    form->show();
    ASSERT_EQ(list().ListBox1.Items(), (std::vector<std::string>{intro, song}));
    ASSERT_EQ(list().realboxItems().Count(), 2);
    EXPECT_EQ(list().realboxItems().Item(0).time, "00:02");
    EXPECT_EQ(list().realboxItems().Item(1).time, "00:03");
    EXPECT_TRUE(waitFor([&] { return form->AudioPlayer1().Mode() == psPlaying; }));
    EXPECT_EQ(playing(), intro);
}

TEST_F(MainWindowTest, TheChannelPlaysWhatOpenNamesEvenOverAPausedFileAndRaisesTheWindow)
{
    TForm1& f = start();
    TDDEHandler channel("orvella-window-test"); // its requests are given by hand
    ShellIntegration shell(f, channel);
    shell.takeRequests();
    const std::string a = wavFile("alpha.wav", 3.0, 300);
    const std::string b = wavFile("bravo.wav", 3.0, 600);
    addFiles({a});
    playEntry(0);
    ASSERT_TRUE(waitFor([&] { return f.AudioPlayer1().Mode() == psPlaying; }));
    f.runCommand("pausebtt1");

    channel.ExecuteMacro({MacroRequestFor({QString::fromStdString(b)}, true)});
    EXPECT_EQ(list().Count(), 2);
    EXPECT_EQ(f.AudioPlayer1().Mode(), psPaused) << "Enqueue only appends";
    EXPECT_EQ(playing(), a);

    channel.ExecuteMacro({MacroRequestFor({QString::fromStdString(b)}, false)});
    EXPECT_EQ(list().Count(), 3);
    EXPECT_EQ(f.AudioPlayer1().Mode(), psPlaying);
    EXPECT_EQ(playing(), b);
    EXPECT_EQ(f.playindex(), "2");
    EXPECT_EQ(list().Highlighted(), 2);

    f.showMinimized();
    ASSERT_TRUE(waitFor([&] { return f.isMinimized(); }));
    channel.ExecuteMacro({kActivateCommand});
    EXPECT_FALSE(f.isMinimized());
    EXPECT_TRUE(QTest::qWaitForWindowActive(&f));
    EXPECT_EQ(list().Count(), 3);
}

TEST_F(MainWindowTest, TheFirstStartChecksEveryFileTypeInPreferencesNotYetShown)
{
    // The desktop's files and the registry in the test's own folders.
    setenv("ORVELLA_REGISTRY", files.file("registry").c_str(), 1);
    setenv("XDG_DATA_HOME", files.file("xdg-data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", files.file("xdg-config").c_str(), 1);
    TForm1& f = start();
    TDDEHandler channel("orvella-window-test");
    ShellIntegration shell(f, channel);
    f.runCommand("firstrun");
    EXPECT_EQ(f.findChild<Tprefform*>(), nullptr);
    EXPECT_EQ(f.preferences().fileTypes, QList<bool>(20, true));
    EXPECT_EQ(f.preferencesWindow()->CheckfileBox->item(19)->checkState(), Qt::Checked);
    unsetenv("ORVELLA_REGISTRY");
    unsetenv("XDG_DATA_HOME");
    unsetenv("XDG_CONFIG_HOME");
}
