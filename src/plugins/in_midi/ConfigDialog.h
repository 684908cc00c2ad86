// The settings dialog: which SoundFont plays the MIDI files.
#pragma once

#include "platform/wintypes.h"

#include <QDialog>

class QLabel;
class QLineEdit;

namespace midi {

class ConfigDialog : public QDialog {
    Q_OBJECT
  public:
    explicit ConfigDialog(QWidget* parent = nullptr);
    ~ConfigDialog() override;

    void accept() override;

  private:
    void createControls();
    void browse();
    void useDefault();

    HWND window_ = nullptr; // owner of the dialog's own boxes
    QLineEdit* soundFont_ = nullptr;
    QLabel* inUse_ = nullptr;
};

// Runs the dialog modally over the host's window.
void run_config_dialog(HWND parent);

} // namespace midi
