// Shared by the window tests: the equalizer window as the main window owns
// it, and a preset file of the test's own.
#pragma once

#include "app/MainWindow.h"
#include "equalizer/Equalizerform.h"
#include "support/TempDir.h"

#include <string>

namespace formstest {

// The data folder (and so Equalizer/eqpresets.ini) in a temporary folder for one test.
struct DataFolder {
    testsupport::TempDir dir;
    DataFolder() { setenv("ORVELLA_DATA_DIR", dir.path().c_str(), 1); }
    ~DataFolder() { unsetenv("ORVELLA_DATA_DIR"); }
    std::string presets() const { return dir.path() + "Equalizer/eqpresets.ini"; }
};

// The main window, never shown, in a data folder of its own: its player, and
// its equalizer window whose band changes reach the player through the main
// window's own eqchange.
struct MainWindowParts {
    DataFolder data;
    // A user who runs without plug-ins; a first start would load the shipped ones.
    struct Pluginless {
        explicit Pluginless(const DataFolder& data)
        {
            testsupport::WriteFile(data.dir.file("confstate.ini"), "[Loaded Plugins]\r\n");
        }
    } pluginless{data};
    TForm1 main;
    player::TAudioPlayer& player = main.AudioPlayer1();
    TEqualizerform& equalizer = *main.equalizerWindow();
};

} // namespace formstest
