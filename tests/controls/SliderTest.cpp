#include "controls/Slider.h"
#include "controls/SliderImages.h"

#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

constexpr QRgb Backdrop = 0xFF0000FF;

// A slider on a parent of a known colour, so that what it leaves unpainted shows.
struct Fixture {
    QWidget parent;
    TSlider* slider;

    explicit Fixture(QSize size = {140, 40})
    {
        QPalette p = parent.palette();
        p.setColor(QPalette::Window, QColor::fromRgb(Backdrop));
        parent.setPalette(p);
        parent.setAutoFillBackground(true);
        parent.resize(size + QSize(20, 20));
        slider = new TSlider(&parent);
        slider->setGeometry(QRect(QPoint(0, 0), size));
    }

    QImage picture() { return slider->grab().toImage().convertToFormat(QImage::Format_RGB32); }
    QImage shown() { return parent.grab().toImage().convertToFormat(QImage::Format_RGB32); }
};

// The slider snapped without soSmooth.
TSliderOptions coarse() { return soShowFocus | soShowPoints; }

QPoint thumbCentre(const TSlider& s) { return s.ThumbRect().center(); }

void press(QWidget* w, QPoint at) { QTest::mousePress(w, Qt::LeftButton, Qt::NoModifier, at); }
void release(QWidget* w, QPoint at) { QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, at); }
void moveWithButton(QWidget* w, QPoint at)
{
    QMouseEvent move(QEvent::MouseMove, at, w->mapToGlobal(at), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &move);
}

} // namespace

TEST(Slider, HasTheDocumentedDefaults)
{
    TSlider s;
    EXPECT_EQ(s.size(), QSize(140, 40));
    EXPECT_EQ(s.MinValue(), 0);
    EXPECT_EQ(s.MaxValue(), 100);
    EXPECT_EQ(s.Value(), 0);
    EXPECT_EQ(s.Increment(), 10);
    EXPECT_EQ(s.EdgeSize(), 2);
    EXPECT_EQ(s.NumThumbStates(), 2);
    EXPECT_EQ(s.Orientation(), soHorizontal);
    EXPECT_EQ(s.Options(), soShowFocus | soShowPoints | soSmooth);
    EXPECT_EQ(s.UserImages(), 0);
    EXPECT_EQ(s.focusPolicy(), Qt::StrongFocus);
    // The thumb shows one of the two frames of its image.
    EXPECT_EQ(s.ThumbRect().width(), s.ImageHThumb().width() / 2);
    EXPECT_EQ(s.ThumbRect().height(), s.ImageHThumb().height());
}

TEST(Slider, ValueIsClampedAndReportsOnlyRealChanges)
{
    TSlider s;
    QSignalSpy changes(&s, &TSlider::OnChange);
    s.setValue(150);
    EXPECT_EQ(s.Value(), 100);
    EXPECT_EQ(changes.count(), 1);
    s.setValue(100);
    s.setValue(250);
    EXPECT_EQ(changes.count(), 1);
    s.setValue(-5);
    EXPECT_EQ(s.Value(), 0);
    EXPECT_EQ(changes.count(), 2);
    EXPECT_EQ(s.ThumbRect().x(), 0);
    s.setValue(100);
    EXPECT_EQ(s.ThumbRect().x(), s.TrackLength());
}

TEST(Slider, RangeSettersRefuseARangeSmallerThanOneIncrement)
{
    TSlider s;
    s.setValue(50);
    s.setMinValue(95);
    EXPECT_EQ(s.MinValue(), 0);
    s.setMaxValue(5);
    EXPECT_EQ(s.MaxValue(), 100);
    s.setMinValue(90);
    EXPECT_EQ(s.MinValue(), 90);
    // The value stays where it was; only the thumb follows the new range.
    EXPECT_EQ(s.Value(), 50);
    EXPECT_EQ(s.ThumbRect().x(), 0);
    s.setMaxValue(99);
    EXPECT_EQ(s.MaxValue(), 100) << "99 < 90 + 10";
    s.setMaxValue(100000);
    EXPECT_EQ(s.MaxValue(), 100000);
}

TEST(Slider, IncrementSnapsTheValueOnlyWithoutSmooth)
{
    TSlider s;
    s.setValue(47);
    s.setIncrement(0);
    EXPECT_EQ(s.Increment(), 10);
    s.setIncrement(20);
    EXPECT_EQ(s.Value(), 47);
    s.setOptions(coarse());
    s.setIncrement(15);
    EXPECT_EQ(s.Value(), 45);
}

TEST(Slider, KeysStepByMultiplesOfTheIncrementCountedFromZero)
{
    TSlider s;
    s.setValue(15);
    QTest::keyClick(&s, Qt::Key_Right);
    EXPECT_EQ(s.Value(), 20);
    s.setValue(15);
    QTest::keyClick(&s, Qt::Key_Left);
    EXPECT_EQ(s.Value(), 0);
    QTest::keyClick(&s, Qt::Key_End);
    EXPECT_EQ(s.Value(), 100);
    QTest::keyClick(&s, Qt::Key_Right);
    EXPECT_EQ(s.Value(), 100);
    QTest::keyClick(&s, Qt::Key_Home);
    EXPECT_EQ(s.Value(), 0);
    // Up and Down belong to vertical sliders; shifted keys to the window.
    QTest::keyClick(&s, Qt::Key_Up);
    QTest::keyClick(&s, Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(s.Value(), 0);

    s.setMinValue(-15);
    s.setMaxValue(15);
    s.setValue(-5);
    QTest::keyClick(&s, Qt::Key_Right);
    EXPECT_EQ(s.Value(), 10) << "-5 div 10 is 0, so the step up lands on 10";

    TSlider v;
    v.setOrientation(soVertical);
    v.setValue(15);
    QTest::keyClick(&v, Qt::Key_Up);
    EXPECT_EQ(v.Value(), 20);
    QTest::keyClick(&v, Qt::Key_Down);
    QTest::keyClick(&v, Qt::Key_Down);
    EXPECT_EQ(v.Value(), 0);
    QTest::keyClick(&v, Qt::Key_Right);
    EXPECT_EQ(v.Value(), 0);
}

TEST(Slider, DraggingTheThumbTracksAndSnapsWithoutSmooth)
{
    Fixture f;
    TSlider& s = *f.slider;
    s.setOptions(coarse());
    QSignalSpy started(&s, &TSlider::OnStartTracking);
    QSignalSpy stopped(&s, &TSlider::OnStopTracking);
    QSignalSpy changes(&s, &TSlider::OnChange);

    const QPoint grab = thumbCentre(s);
    press(&s, grab);
    EXPECT_TRUE(s.Tracking());
    EXPECT_EQ(started.count(), 1);
    EXPECT_EQ(s.Thumb()->state(), 1) << "pressed frame while dragging";

    const int third = s.TrackLength() / 3;
    moveWithButton(&s, grab + QPoint(third, 0));
    EXPECT_EQ(s.Value(), 30);
    EXPECT_EQ(s.ThumbRect().x(), s.PositionOfValue(30)) << "the thumb snaps to the value's place";
    EXPECT_EQ(changes.count(), 1);
    moveWithButton(&s, grab + QPoint(10 * s.TrackLength(), 5));
    EXPECT_EQ(s.Value(), 100);
    moveWithButton(&s, grab - QPoint(10 * s.TrackLength(), 0));
    EXPECT_EQ(s.Value(), 0);
    EXPECT_EQ(s.ThumbRect().x(), 0);

    release(&s, s.ThumbRect().center());
    EXPECT_FALSE(s.Tracking());
    EXPECT_EQ(stopped.count(), 1);
    EXPECT_EQ(s.Thumb()->state(), 0);
    // Moves after the release do nothing.
    moveWithButton(&s, grab + QPoint(third, 0));
    EXPECT_EQ(s.Value(), 0);
}

TEST(Slider, SmoothDraggingGivesEveryValue)
{
    Fixture f;
    TSlider& s = *f.slider;
    const QPoint grab = thumbCentre(s);
    press(&s, grab);
    moveWithButton(&s, grab + QPoint(s.TrackLength() / 3, 0));
    EXPECT_EQ(s.Value(), (s.TrackLength() / 3 * 100 + s.TrackLength() / 2) / s.TrackLength());
    release(&s, grab);
}

TEST(Slider, VerticalSlidersGrowUpward)
{
    Fixture f({20, 100});
    TSlider& s = *f.slider;
    s.setOrientation(soVertical);
    s.setMaxValue(30);
    s.setIncrement(1);
    EXPECT_EQ(s.ThumbRect().bottom(), 99) << "value 0 at the bottom";

    const QPoint grab = thumbCentre(s);
    press(&s, grab);
    moveWithButton(&s, QPoint(grab.x(), -50));
    release(&s, QPoint(grab.x(), -50));
    EXPECT_EQ(s.Value(), 30);
    EXPECT_EQ(s.ThumbRect().top(), 0);

    s.setValue(15);
    EXPECT_EQ(s.ThumbRect().top(), 100 - s.PositionOfValue(15) - s.ThumbRect().height());
}

TEST(Slider, HoldingTheRulerRepeatsUntilTheThumbReachesTheMouse)
{
    Fixture f;
    TSlider& s = *f.slider;
    // Thumb 9 wide on a 140 ruler: value 40 puts the thumb over x = 60.
    ASSERT_EQ(s.TrackLength(), 131);
    const QPoint mouse(60, 5);
    press(&s, mouse);
    EXPECT_EQ(s.Value(), 10) << "the first step is taken at once";
    EXPECT_TRUE(QTest::qWaitFor([&] { return s.Value() == 40; }, 3000));
    EXPECT_TRUE(s.ThumbRect().contains(mouse));
    QTest::qWait(900); // two more repeat periods
    EXPECT_EQ(s.Value(), 40);
    release(&s, mouse);

    // Left of the thumb steps down; a release stops the repeat.
    press(&s, QPoint(1, 5));
    EXPECT_EQ(s.Value(), 30);
    release(&s, QPoint(1, 5));
    QTest::qWait(500);
    EXPECT_EQ(s.Value(), 30);
    // The second press of a double click takes no extra step.
    QTest::mouseClick(&s, Qt::LeftButton, Qt::NoModifier, QPoint(130, 5));
    QTest::mouseDClick(&s, Qt::LeftButton, Qt::NoModifier, QPoint(130, 5));
    release(&s, QPoint(130, 5));
    EXPECT_EQ(s.Value(), 40);
    EXPECT_FALSE(s.Tracking());
}

TEST(Slider, RulerRepeatsItsMiddleBetweenEdgesDrawnOnce)
{
    Fixture f({20, 40});
    TSlider& s = *f.slider;
    // Eight columns of distinct colours; column 3 is the transparent colour.
    QImage ruler(8, 3, QImage::Format_RGB32);
    for (int x = 0; x < 8; ++x)
        for (int y = 0; y < 3; ++y)
            ruler.setPixel(x, y, x == 3 ? sliderimages::TransparentColour : qRgb(10 * x, 100, 200));
    // An invisible thumb leaves the whole ruler in view.
    QImage thumb(4, 1, QImage::Format_RGB32);
    thumb.fill(sliderimages::TransparentColour);
    s.setImageHRuler(ruler);
    s.setImageHThumb(thumb);
    s.setOptions(0);
    EXPECT_EQ(s.UserImages(), (1 << siHRuler) | (1 << siHThumb));

    const QImage shown = f.shown();
    const int y = s.RulerRect().y() + 1;
    std::vector<int> columns;
    for (int x = 0; x < 20; ++x) {
        const QRgb c = shown.pixel(x, y);
        columns.push_back(c == Backdrop ? 3 : qRed(c) / 10);
    }
    // Edges 0,1 and 6,7 once; the middle 2..5 repeated between them.
    const std::vector<int> expected{0, 1, 2, 3, 4, 5, 2, 3, 4, 5, 2, 3, 4, 5, 2, 3, 4, 5, 6, 7};
    EXPECT_EQ(columns, expected);

    s.setEdgeSize(4); // 2 x 4 is not less than 8
    EXPECT_EQ(s.EdgeSize(), 2);
    s.setEdgeSize(3);
    EXPECT_EQ(s.EdgeSize(), 3);
    s.setImageHRuler(QImage());
    EXPECT_EQ(s.UserImages(), 1 << siHThumb);
    EXPECT_EQ(s.ImageHRuler().size(), sliderimages::BuiltIn("W95_HRL").size());
}

TEST(Slider, ThumbShowsItsFrameTransparently)
{
    Fixture f;
    TSlider& s = *f.slider;
    s.setOptions(0);
    // Two 3 x 4 frames: red normal, green pressed, each with a transparent corner.
    QImage thumb(6, 4, QImage::Format_RGB32);
    for (int x = 0; x < 6; ++x)
        for (int y = 0; y < 4; ++y)
            thumb.setPixel(x, y, x < 3 ? qRgb(255, 0, 0) : qRgb(0, 255, 0));
    thumb.setPixel(0, 0, sliderimages::TransparentColour);
    thumb.setPixel(3, 0, sliderimages::TransparentColour);
    QImage ruler(8, 2, QImage::Format_RGB32);
    ruler.fill(sliderimages::TransparentColour);
    s.setImageHThumb(thumb);
    s.setImageHRuler(ruler);
    s.setValue(50);
    const QPoint at = s.ThumbRect().topLeft();
    EXPECT_EQ(s.ThumbRect().size(), QSize(3, 4));
    EXPECT_EQ(f.shown().pixel(at + QPoint(1, 1)), qRgb(255, 0, 0));
    EXPECT_EQ(f.shown().pixel(at), Backdrop);

    press(&s, at + QPoint(1, 1));
    EXPECT_EQ(f.shown().pixel(at + QPoint(1, 1)), qRgb(0, 255, 0));
    EXPECT_EQ(f.shown().pixel(at), Backdrop);
    release(&s, at + QPoint(1, 1));

    s.setNumThumbStates(1);
    EXPECT_EQ(s.ThumbRect().size(), QSize(6, 4));
    s.setNumThumbStates(3);
    EXPECT_EQ(s.NumThumbStates(), 1);
}

TEST(Slider, ThinRulerIsCentredOnTheThumbAndTicksLieBelow)
{
    TSlider s;
    const QRect thumb = s.ThumbRect();
    const QRect ruler = s.RulerRect();
    ASSERT_LT(ruler.height(), thumb.height());
    EXPECT_EQ(thumb.top(), 0);
    EXPECT_EQ(ruler.top(), (thumb.height() - ruler.height()) / 2);
    EXPECT_EQ(s.PointsRect().top(), thumb.height() + 1);
    EXPECT_EQ(s.PointsRect().bottom(), s.height() - 1);
}

TEST(Slider, DefaultTicksAreAtLeastThreePixelsApart)
{
    Fixture f;
    TSlider& s = *f.slider;
    s.setOptions(soShowPoints);
    auto ticks = [&] {
        const QImage image = f.shown();
        const QRect r = s.PointsRect();
        auto isTick = [&](int x, int y) { return y <= r.bottom() && image.pixel(x, y) == qRgb(0, 0, 0); };
        std::vector<std::pair<int, int>> found; // x, length
        for (int x = 0; x < s.width(); ++x) {
            int length = 0;
            while (isTick(x, r.top() + length))
                ++length;
            if (length > 0)
                found.emplace_back(x, length);
        }
        return found;
    };
    const int half = s.ThumbRect().width() / 2;
    auto t = ticks();
    ASSERT_EQ(t.size(), 11u); // every 10 of 0..100
    EXPECT_EQ(t.front(), std::make_pair(half, 4));
    EXPECT_EQ(t[1], std::make_pair(s.PositionOfValue(10) + half, 3));
    EXPECT_EQ(t.back(), std::make_pair(s.TrackLength() + half, 4));

    // Increment 1 on 131 pixels: a tick every 3 values keeps them 3.9 pixels apart.
    s.setIncrement(1);
    t = ticks();
    ASSERT_EQ(t.size(), 34u);
    EXPECT_EQ(t[1].first, s.PositionOfValue(3) + half);
    EXPECT_EQ(t.back().second, 3) << "99 is the last multiple; 100 is not reached";

    int calls = 0;
    s.setOnDrawPoints([&](QPainter&, const QRect& r) {
        ++calls;
        EXPECT_EQ(r, s.PointsRect());
    });
    EXPECT_TRUE(ticks().empty());
    EXPECT_GE(calls, 1);
}
