// Tpresetform: the named presets of the ten equalizer bands. A click on a
// name sets the equalizer window's sliders, whose changes reach the player
// the usual way; "Save" stores the current sliders under the typed name.
#pragma once

#include "EqPresets.h"

#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

class TEqualizerform;
class WindowMover;

// The name box clears itself when clicked.
class TPresetNameEdit : public QLineEdit {
    Q_OBJECT
  public:
    using QLineEdit::QLineEdit;

  protected:
    void mousePressEvent(QMouseEvent* event) override;
};

class Tpresetform : public QDialog {
    Q_OBJECT
  public:
    explicit Tpresetform(TEqualizerform& equalizer, QWidget* parent = nullptr);

    static constexpr int ClientWidth = 220;

    TPresetNameEdit* PresetName;
    QListWidget* Presetlist;
    QPushButton* saveButton() const { return bnSave; }
    QPushButton* deleteButton() const { return BtnDelete; }
    // Outside the client area: does what a click in the list does.
    QPushButton* loadButton() const { return btnLoad; }

    // The file this window works on (the data folder's one unless a test says otherwise).
    const eqpresets::TPresetFile& presetFile() const { return file_; }
    void setPresetFile(const std::string& path) { file_ = eqpresets::TPresetFile(path); }

    void RebuildList();
    void LoadSelected();
    void SavePreset();
    void DeleteSelected();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void createControls();
    eqpresets::Positions sliderPositions() const;

    TEqualizerform& equalizer_;
    eqpresets::TPresetFile file_;
    WindowMover* mover_;
    QPushButton *bnSave, *BtnDelete, *btnLoad;
};
