// The main window on the offscreen platform with a data folder of its own,
// message boxes recorded, and audio files made for the test.
#pragma once

#include "app/MainWindow.h"

#include "support/MessageBoxRecorder.h"
#include "support/TempDir.h"

#include <QRect>
#include <QString>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

void PrintTo(const QString& text, std::ostream* out);
void PrintTo(const QRect& rect, std::ostream* out);

namespace apptest {

class MainWindowTest : public ::testing::Test {
  protected:
    MainWindowTest();
    ~MainWindowTest() override;

    // Creates and shows the main window (the first showing restores everything).
    TForm1& start(const QStringList& arguments = {});
    // Closes the window as the user would (saving everything) and starts anew.
    TForm1& restart();
    playlist::Tplayl& list() const;

    // A mono 8 kHz WAV of a sine: seconds long, at hz; in the test's own folder.
    std::string wavFile(const std::string& name, double seconds, double hz = 440) const;
    // Appends files to the playlist as a drop on the playlist window does.
    void addFiles(const std::vector<std::string>& paths) const;
    // Plays entry index from the playlist as a double-click does.
    void playEntry(int index) const;
    bool waitFor(const std::function<bool()>& done, int timeoutMs = 5000) const;
    std::string playing() const; // the player's file

    testsupport::TempDir data;  // the data folder: confstate.ini (with no plug-ins loaded), Playlist/
    testsupport::TempDir files; // the test's audio files
    testsupport::MessageBoxRecorder boxes;
    std::unique_ptr<TForm1> form;

  private:
    QString cwd_;
};

} // namespace apptest
