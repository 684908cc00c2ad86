// The controls behind each key of confstate.ini: the main window's side of
// appconfig's restore and save, for its own controls and those of the
// playlist, equalizer and preferences windows it owns.
#pragma once

#include "app/config/Config.h"

class TForm1;

class MainWindowSettings : public appconfig::SettingsTarget {
  public:
    explicit MainWindowSettings(TForm1& form) : form_(form) {}

    // 0 for a setting no control holds.
    int current(appconfig::Setting setting, int index) const override;
    // Nothing for a setting no control takes.
    void apply(appconfig::Setting setting, int index, int value) override;
    std::string pluginFileName(int slot) const override;
    bool effectsReady() const override;
    bool pluginsReady() const override;
    void disableEffectControls() override;

  private:
    TForm1& form_;
};
