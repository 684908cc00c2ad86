// Shared by the window tests: the main window's side of a band change, and a
// preset file of the test's own.
#pragma once

#include "equalizer/EqualizerWindow.h"
#include "support/TempDir.h"

#include <string>

namespace formstest {

// What the main window's eqchange does: all ten gains from the sliders to the player.
inline void ConnectEqchange(TEqualizerform& form, player::TAudioPlayer& player)
{
    QObject::connect(&form, &TEqualizerform::eqchangeRequested, &form,
                     [&form, &player] { player.SetEQGains(form.Gains()); });
}

// The data folder (and so Equalizer/eqpresets.ini) in a temporary folder for one test.
struct DataFolder {
    testsupport::TempDir dir;
    DataFolder() { setenv("ORVELLA_DATA_DIR", dir.path().c_str(), 1); }
    ~DataFolder() { unsetenv("ORVELLA_DATA_DIR"); }
    std::string presets() const { return dir.path() + "Equalizer/eqpresets.ini"; }
};

} // namespace formstest
