// TSlider: the bitmap slider of the position, volume, equalizer band and
// effect level bars. A ruler image stretched to the control's length by
// repeating its middle, a thumb with a normal and a pressed frame, optional
// tick marks; driven by thumb drags, ruler clicks (repeating every 400 ms while
// held) and the keyboard.
#pragma once

#include <QBasicTimer>
#include <QImage>
#include <QWidget>

#include <cstdint>
#include <functional>

enum TSliderOrientation { soHorizontal, soVertical };

enum TSliderOption : unsigned { soShowFocus = 1, soShowPoints = 2, soSmooth = 4 };
using TSliderOptions = unsigned;

// The four images, in the bit order of UserImages.
enum TSliderImage { siHThumb = 0, siHRuler = 1, siVThumb = 2, siVRuler = 3 };

// The slider's thumb: shows one frame of its image, drawn transparently.
class TSliderThumb : public QWidget {
    Q_OBJECT
  public:
    explicit TSliderThumb(QWidget* parent);

    void setImage(const QImage& image, int numStates);
    void setState(int state); // 0 normal, 1 pressed
    int state() const { return state_; }

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    QImage image_;
    int numStates_ = 2;
    int state_ = 0;
};

class TSlider : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int UserImages READ UserImages)
  public:
    explicit TSlider(QWidget* parent = nullptr);

    // An empty image brings the built-in one back.
    QImage Image(TSliderImage which) const { return images_[which]; }
    void setImage(TSliderImage which, const QImage& image);
    QImage ImageHThumb() const { return Image(siHThumb); }
    QImage ImageHRuler() const { return Image(siHRuler); }
    QImage ImageVThumb() const { return Image(siVThumb); }
    QImage ImageVRuler() const { return Image(siVRuler); }
    void setImageHThumb(const QImage& image) { setImage(siHThumb, image); }
    void setImageHRuler(const QImage& image) { setImage(siHRuler, image); }
    void setImageVThumb(const QImage& image) { setImage(siVThumb, image); }
    void setImageVRuler(const QImage& image) { setImage(siVRuler, image); }
    // Bit n set: image n is the user's own.
    int UserImages() const { return userImages_; }

    int EdgeSize() const { return edgeSize_; }
    void setEdgeSize(int edge);
    int NumThumbStates() const { return numThumbStates_; }
    void setNumThumbStates(int states);
    TSliderOrientation Orientation() const { return orientation_; }
    void setOrientation(TSliderOrientation orientation);
    TSliderOptions Options() const { return options_; }
    void setOptions(TSliderOptions options);
    int Increment() const { return increment_; }
    void setIncrement(int increment);
    int MinValue() const { return minValue_; }
    void setMinValue(int value);
    int MaxValue() const { return maxValue_; }
    void setMaxValue(int value);
    int Value() const { return value_; }
    void setValue(int value);

    // Replaces the default tick marks; gets the rectangle beside the ruler.
    void setOnDrawPoints(std::function<void(QPainter&, const QRect&)> draw);

    bool Tracking() const { return tracking_; }
    // Geometry, for the main window's layout and for tests.
    int TrackLength() const; // ruler length minus thumb length
    int PositionOfValue(int value) const;
    int ValueOfPosition(int position) const;
    QRect ThumbRect() const;
    QRect RulerRect() const { return rulerRect_; }
    QRect PointsRect() const { return pointsRect_; }
    const TSliderThumb* Thumb() const { return thumb_; }

  signals:
    void OnChange();
    void OnStartTracking();
    void OnStopTracking();

  protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

  private:
    enum StepKind { skNone, skFirst, skLast, skUp, skDown };

    bool horizontal() const { return orientation_ == soHorizontal; }
    const QImage& thumbImage() const { return images_[horizontal() ? siHThumb : siVThumb]; }
    const QImage& rulerImage() const { return images_[horizontal() ? siHRuler : siVRuler]; }
    QSize thumbSize() const;
    int thumbLength() const;
    int rulerLength() const { return horizontal() ? width() : height(); }
    int thumbPositionAt(QPoint thumbTopLeft) const;

    void rebuildLayout();
    void buildRuler();
    void placeThumb(int position);
    void moveThumbTo(int position);
    void step(StepKind kind);
    StepKind regionAt(QPoint point) const;
    void drawDefaultPoints(QPainter& painter) const;

    QImage images_[4];
    int userImages_ = 0;
    int edgeSize_ = 2;
    int numThumbStates_ = 2;
    TSliderOrientation orientation_ = soHorizontal;
    TSliderOptions options_ = soShowFocus | soShowPoints | soSmooth;
    int increment_ = 10;
    int minValue_ = 0;
    int maxValue_ = 100;
    int value_ = 0;
    std::function<void(QPainter&, const QRect&)> onDrawPoints_;

    TSliderThumb* thumb_;
    QImage ruler_; // built for the current length
    QRect rulerRect_;
    QRect pointsRect_;
    QPoint grabOffset_;
    bool tracking_ = false;
    bool rulerPressed_ = false;
    QPoint lastPoint_;
    StepKind pressedRegion_ = skNone;
    QBasicTimer repeatTimer_;
};
