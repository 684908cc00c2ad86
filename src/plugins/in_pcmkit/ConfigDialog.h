// The settings dialog: real-time conversion, formats, decode thread priority.
#pragma once

#include "platform/wintypes.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QSlider;

namespace pcmkit {

class ConfigDialog : public QDialog {
    Q_OBJECT
  public:
    explicit ConfigDialog(QWidget* parent = nullptr);
    ~ConfigDialog() override;

    void accept() override;

  private:
    void createControls();
    void showSettings();
    void takeSettings();
    void reset();
    void showPriority(int index);

    HWND window_ = nullptr; // owner of the dialog's own boxes
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
