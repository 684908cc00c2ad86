// The 25-band spectrum of the main window with falling peak marks. Every frame
// is composed off screen in WorkBitmap from two prepared images (the empty
// background and one bar) with block copies, and reaches the window's backing
// store in one copy; nothing is allocated per frame, and a frame that draws
// what is shown already is not shown again.
#pragma once

#include <QImage>
#include <QWidget>

#include <array>
#include <cstdint>
#include <optional>

namespace display {

using TBandOut = std::array<uint16_t, 25>; // lowest band first

class TSpectrum : public QWidget {
    Q_OBJECT
  public:
    static constexpr int Width = 102;
    static constexpr int Height = 25;
    static constexpr int Bands = 25;
    static constexpr int BarHeight = 24;
    static constexpr QRgb BarColour = 0xFFFF8251;  // red 255, green 130, blue 81
    static constexpr QRgb PeakColour = 0xFFFFFF00; // yellow

    explicit TSpectrum(QWidget* parent = nullptr);

    // Builds the background (button face, dotted left and bottom edges), the
    // work image and the bar; sizes this paint box to 102 x 25.
    void CreateBasicImage();
    // Shows the empty display.
    void ShowBackground();
    // Draws one frame of band levels (above 24 drawn as 24) with peak hold
    // and fall, and shows it.
    void DisplayFFTBand(const TBandOut& bandOut);
    // All peaks back to 0, hold counts too.
    void ResetPeaks();

    const QImage& BackgroundBitmap() const { return background_; }
    const QImage& WorkBitmap() const { return work_; }
    const QImage& BarBitmap() const { return bar_; }
    // The image the paint box shows now.
    const QImage* Shown() const { return shown_; }
    std::array<float, Bands> PeakLevels{};
    std::array<int, Bands> PeakHold{};

  protected:
    void paintEvent(QPaintEvent*) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // Per band: bar height, then the level of its peak mark (0: no mark).
    using FrameMarks = std::array<int8_t, 2 * Bands>;
    void composeFrame(const FrameMarks& marks);
    // Puts the shown image straight into the window's backing store and onto
    // the screen: no paint event, painter or pass of the repaint manager,
    // which are most of what a frame costs. False where that cannot be done
    // as the repaint manager would do it (box covered or not exposed, scaled
    // or native child windows, a store that is not a plain image).
    bool presentInBackingStore();
    // Where the box lies in its window, kept until a widget anywhere moves,
    // resizes, shows, hides or changes its stacking.
    struct Place {
        QWidget* window;
        QRect box;     // in the window's coordinates
        bool uncovered; // drawn whole, and in the window's own backing store
    };
    const Place& place();

    std::optional<Place> place_;

    FrameMarks shownMarks_{};
    QImage background_;
    QImage work_;
    QImage bar_;
    const QImage* shown_ = nullptr;
};

} // namespace display
