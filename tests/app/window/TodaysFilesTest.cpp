// Files as today's tools write them, through the whole program: their times in
// the playlist and in the saved playlist, their rates and texts in the track
// display, and seeks far into long files.
#include "WindowHarness.h"

#include "controls/Slider.h"
#include "playlist/PlaylistWindow.h"
#include "support/TodaysFiles.h"

#include <QLabel>

#include <filesystem>
#include <fstream>

using apptest::MainWindowTest;
using testsupport::TodaysFile;
using testsupport::TodaysFiles;

namespace {

class TodaysFilesInTheProgram : public MainWindowTest {
  protected:
    static void SetUpTestSuite()
    {
        folder_ = new testsupport::TempDir;
        made_ = testsupport::MakeTodaysFiles(folder_->path());
    }
    static void TearDownTestSuite()
    {
        delete folder_;
        folder_ = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(made_); }

    static std::string path(const std::string& name) { return folder_->file(name); }
    std::vector<std::string> allFiles() const
    {
        std::vector<std::string> paths;
        for (const TodaysFile& f : TodaysFiles())
            paths.push_back(path(f.name));
        return paths;
    }
    // Seeks as a drag of the seek slider that ends at ms does.
    void dragSeekTo(int ms) const
    {
        TSlider& seek = *form->seekSlider();
        emit seek.OnStartTracking();
        seek.setValue(ms);
        emit seek.OnStopTracking();
    }

  private:
    static testsupport::TempDir* folder_;
    static bool made_;
};

testsupport::TempDir* TodaysFilesInTheProgram::folder_ = nullptr;
bool TodaysFilesInTheProgram::made_ = false;

std::vector<std::string> Lines(const std::string& path)
{
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line.substr(0, line.find_last_not_of("\r\n") + 1));
    return lines;
}

} // namespace

TEST_F(TodaysFilesInTheProgram, TimesInThePlaylistAndTheSavedPlaylistRatesAndTextsInTheTrackDisplay)
{
    start();
    addFiles(allFiles());
    const auto& files = TodaysFiles();
    ASSERT_EQ(list().realboxItems().Count(), int(files.size()));
    for (std::size_t i = 0; i < files.size(); ++i)
        EXPECT_EQ(list().realboxItems().Item(int(i)).time, QString::fromStdString(files[i].shown)) << files[i].name;

    for (std::size_t i = 0; i < files.size(); ++i) {
        const TodaysFile& f = files[i];
        playEntry(int(i));
        ASSERT_EQ(playing(), path(f.name));
        EXPECT_EQ(form->sampleText(), QString::number(f.rate)) << f.name;
        if (f.kbps != 0) {
            EXPECT_NEAR(form->bitrateText().toDouble(), f.kbps, f.kbpsTolerance) << f.name;
        }
        if (!f.title.empty()) {
            EXPECT_EQ(form->currentTitle(), QString::fromStdString(f.title)) << f.name;
        }
        if (!f.artist.empty()) {
            EXPECT_EQ(form->currentArtist(), QString::fromStdString(f.artist)) << f.name;
        }
    }

    restart();
    std::vector<std::string> saved = Lines(data.file("Playlist/loadedt.asv"));
    ASSERT_EQ(saved.size(), files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        EXPECT_EQ(saved[i], files[i].shown) << files[i].name;
        EXPECT_EQ(list().realboxItems().Item(int(i)).time, QString::fromStdString(files[i].shown)) << files[i].name;
    }
}

TEST_F(TodaysFilesInTheProgram, SeeksLandFarIntoLongFiles)
{
    start();
    // A WAV whose RIFF size claims ten seconds, while its data chunk and the file hold 4:10:00:
    // the engine plays all of it, so seeking goes as far.
    const std::string misreported = files.file("misreported.wav");
    std::filesystem::copy_file(path("long.wav"), misreported);
    {
        std::fstream out(misreported, std::ios::in | std::ios::out | std::ios::binary);
        const uint32_t riff = 36 + 10 * 16000;
        const char bytes[4] = {char(riff), char(riff >> 8), char(riff >> 16), char(riff >> 24)};
        out.seekp(4).write(bytes, 4);
    }
    addFiles({path("cbr_32k_10min.mp3"), misreported, path("long.wav")});

    playEntry(0);
    EXPECT_NEAR(double(form->currentLengthMs()), 600000, 200);
    dragSeekTo(8 * 60 * 1000);
    EXPECT_NEAR(double(form->currentPositionMs()), 480000, 500);
    EXPECT_EQ(form->elapsedText(), "08:00");

    for (int entry : {1, 2}) {
        playEntry(entry);
        EXPECT_EQ(form->currentLengthMs(), 15000000) << entry;
        dragSeekTo(4 * 3600 * 1000);
        EXPECT_NEAR(double(form->currentPositionMs()), 14400000, 500) << entry;
        EXPECT_EQ(form->elapsedText(), "4:00:00") << entry;
        // The next clock update draws the longer text smaller, in a label that fits it.
        form->runCommand("stepforward1");
        const QLabel* clock = form->findChild<QLabel*>("realtimeedit");
        EXPECT_EQ(clock->text(), "4:00:05") << entry;
        EXPECT_EQ(clock->font().pixelSize(), 14) << entry;
        EXPECT_EQ(clock->size(), clock->sizeHint()) << entry;
    }
    // And back under an hour, large again.
    dragSeekTo(60 * 1000);
    form->runCommand("stepforward1");
    const QLabel* clock = form->findChild<QLabel*>("realtimeedit");
    EXPECT_EQ(clock->text(), "01:05");
    EXPECT_EQ(clock->font().pixelSize(), 19);
    EXPECT_EQ(clock->size(), clock->sizeHint());
}
