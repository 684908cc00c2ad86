// TEqualizerform: the tool window of the ten equalizer bands, the echo and
// reverb levels and the four effect switches. The switches and levels go to
// the player from here; a band change goes through the main window's
// `eqchange` (Label1 names the band), so every path to the gains is the same.
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include "controls/Slider.h"
#include "player/AudioPlayer.h"

#include <array>

class Tpresetform;
class WindowMover;

class TEqualizerform : public QWidget {
    Q_OBJECT
  public:
    static constexpr int BandCount = player::kEQBandCount;

    explicit TEqualizerform(player::TAudioPlayer& player, QWidget* parent = nullptr);

    TSlider *Slider1, *Slider2, *Slider3, *Slider4, *Slider5, *Slider6, *Slider7, *Slider8, *Slider9, *Slider10;
    TSlider* band(int n) const; // 1..10; null outside
    TSlider *ReverbSlider, *EchoSlider;
    QCheckBox *cbreverb, *cbecho, *flanger1, *eqcheck;
    QPushButton* presesh;
    QLabel* Label1; // hidden: the Tag of the band slider that changed last

    // The band positions as gains in dB, band 1 first.
    player::EQGains Gains() const;

    // Without the engine's effects: "Flanger", "Echo", "Reverb" and the two levels can't be used.
    void DisableEffectControls();

    // The preset window opened by "Presets", a window of its own owned by this one.
    Tpresetform* presetform() const { return presetform_; }

  signals:
    void eqchangeRequested(); // a band changed; Label1 is already set
    void moveFinished();      // the user moved or resized the window

  protected:
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void createControls();
    void connectControls();
    void eqseekExecute(TSlider* slider);
    void setEffect(player::TSoundEffects effect, bool on);
    void eqcheckClick();
    void flanger1Click();
    void cbEchoClick();
    void cbReverbClick();
    void EchoSliderChange();
    void ReverbSliderChange();
    void preseshClick();

    player::TAudioPlayer& player_;
    std::array<TSlider*, BandCount> bands_{};
    WindowMover* mover_;
    Tpresetform* presetform_;
    QTimer moveSettled_; // a move or resize ends when no further one follows soon
};
