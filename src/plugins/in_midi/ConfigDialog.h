// The settings dialog: which SoundFont plays the MIDI files.
#pragma once

#include "plugins/common/SettingsDialog.h"

class QLabel;
class QLineEdit;

namespace midi {

class ConfigDialog : public plugin::SettingsDialog {
    Q_OBJECT
  public:
    explicit ConfigDialog(QWidget* parent = nullptr);

    void accept() override;

  private:
    void createControls();
    void browse();
    void useDefault();

    QLineEdit* soundFont_ = nullptr;
    QLabel* inUse_ = nullptr;
};

} // namespace midi
