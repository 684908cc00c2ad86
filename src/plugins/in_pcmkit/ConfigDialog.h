// The settings dialog: real-time conversion, formats, decode thread priority.
#pragma once

#include "plugins/common/SettingsDialog.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QSlider;

namespace pcmkit {

class ConfigDialog : public plugin::SettingsDialog {
    Q_OBJECT
  public:
    explicit ConfigDialog(QWidget* parent = nullptr);

    void accept() override;

  private:
    void createControls();
    void showSettings();
    void takeSettings();
    void reset();
    void showPriority(int index);

    QCheckBox* convert8_ = nullptr;
    QCheckBox* downConvert_ = nullptr;
    QCheckBox* mono_ = nullptr;
    QComboBox* floatWidth_ = nullptr;
    QCheckBox* dither_ = nullptr;
    QListWidget* formats_ = nullptr;
    QLineEdit* extraExtensions_ = nullptr;
    QCheckBox* expandSilence_ = nullptr;
    QCheckBox* expandLoops_ = nullptr;
    QSlider* priority_ = nullptr;
    QLabel* priorityLabel_ = nullptr;
};

} // namespace pcmkit
