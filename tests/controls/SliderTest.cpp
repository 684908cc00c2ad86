#include "controls/Slider.h"
#include "controls/SliderImages.h"

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
    QImage shown() { return parent.grab().toImage().convertToFormat(QImage::Format_RGB32); }
};

QImage filled(int w, int h, QRgb colour)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

void press(QWidget* w, QPoint at)
{
    QTest::mousePress(w, Qt::LeftButton, Qt::NoModifier, at);
}
void release(QWidget* w, QPoint at)
{
    QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, at);
}
void drag(QWidget* w, QPoint at)
{
    QMouseEvent move(QEvent::MouseMove, at, w->mapToGlobal(at), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &move);
}

} // namespace

TEST(Slider, ValueStaysInItsRangeAndReportsOnlyRealChanges)
{
    TSlider s;
    EXPECT_EQ(s.size(), QSize(140, 40));
    EXPECT_EQ(s.Options(), soShowFocus | soShowPoints | soSmooth);
    QSignalSpy changes(&s, &TSlider::OnChange);
    s.setValue(150);
    s.setValue(100);
    EXPECT_EQ(s.Value(), 100);
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(s.ThumbRect().x(), 131) << "the far end: 140 pixels less the 9 of the thumb";

    // A range narrower than one increment is refused; a new range keeps the value.
    s.setValue(50);
    s.setMinValue(95);
    s.setMaxValue(5);
    EXPECT_EQ(std::make_pair(s.MinValue(), s.MaxValue()), std::make_pair(0, 100));
    s.setMinValue(90);
    EXPECT_EQ(s.MinValue(), 90);
    EXPECT_EQ(s.Value(), 50);
    EXPECT_EQ(s.ThumbRect().x(), 0);

    // A new increment snaps the value only without soSmooth.
    s.setMinValue(0);
    s.setValue(47);
    s.setIncrement(20);
    EXPECT_EQ(s.Value(), 47);
    s.setOptions(soShowPoints);
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
    QTest::keyClick(&s, Qt::Key_Home);
    // Up and Down belong to vertical sliders; shifted keys to the window.
    QTest::keyClick(&s, Qt::Key_Up);
    QTest::keyClick(&s, Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(s.Value(), 0);

    TSlider v;
    v.setOrientation(soVertical);
    v.setValue(15);
    QTest::keyClick(&v, Qt::Key_Up);
    EXPECT_EQ(v.Value(), 20);
    QTest::keyClick(&v, Qt::Key_Down);
    QTest::keyClick(&v, Qt::Key_Down);
    EXPECT_EQ(v.Value(), 0);
}

TEST(Slider, DraggingTheThumbTracksAndSnapsWithoutSmooth)
{
    Fixture f;
    TSlider& s = *f.slider;
    s.setOptions(soShowPoints);
    QSignalSpy started(&s, &TSlider::OnStartTracking);
    QSignalSpy stopped(&s, &TSlider::OnStopTracking);
    const QPoint grab = s.ThumbRect().center();
    press(&s, grab);
    EXPECT_EQ(started.count(), 1);
    EXPECT_EQ(s.Thumb()->state(), 1) << "pressed frame while dragging";

    drag(&s, grab + QPoint(s.TrackLength() / 3, 0));
    EXPECT_EQ(s.Value(), 30);
    EXPECT_EQ(s.ThumbRect().x(), 39) << "the thumb snaps to the value's place, 30% of 131";
    drag(&s, grab + QPoint(1000, 5));
    EXPECT_EQ(s.Value(), 100);
    release(&s, grab);
    EXPECT_EQ(stopped.count(), 1);
    EXPECT_EQ(s.Thumb()->state(), 0);
    drag(&s, grab);
    EXPECT_EQ(s.Value(), 100) << "moves after the release do nothing";

    // Smooth: every value; vertical: growing upward.
    Fixture g({20, 100});
    TSlider& v = *g.slider;
    v.setOrientation(soVertical);
    v.setMaxValue(30);
    EXPECT_EQ(v.ThumbRect().bottom(), 99);
    const QPoint at = v.ThumbRect().center();
    press(&v, at);
    drag(&v, at - QPoint(0, v.TrackLength() / 3));
    EXPECT_EQ(v.Value(), 10) << "30 of 91 pixels: 30 x 30 / 91 = 9.9";
    drag(&v, QPoint(at.x(), -50));
    release(&v, QPoint(at.x(), -50));
    EXPECT_EQ(v.Value(), 30);
    EXPECT_EQ(v.ThumbRect().top(), 0);
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
    QTest::qWait(900); // two more repeat periods
    EXPECT_EQ(s.Value(), 40);
    release(&s, mouse);

    // Left of the thumb steps down; the second press of a double click takes no step.
    QTest::mouseClick(&s, Qt::LeftButton, Qt::NoModifier, QPoint(1, 5));
    QTest::mouseDClick(&s, Qt::LeftButton, Qt::NoModifier, QPoint(1, 5));
    release(&s, QPoint(1, 5));
    EXPECT_EQ(s.Value(), 30);
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
    s.setImageHRuler(ruler);
    s.setImageHThumb(filled(4, 1, sliderimages::TransparentColour)); // out of sight
    s.setOptions(0);
    EXPECT_EQ(s.UserImages(), (1 << siHRuler) | (1 << siHThumb));

    const QImage shown = f.shown();
    std::vector<int> columns;
    for (int x = 0; x < 20; ++x) {
        const QRgb c = shown.pixel(x, s.RulerRect().y() + 1);
        columns.push_back(c == Backdrop ? 3 : qRed(c) / 10);
    }
    EXPECT_EQ(columns, (std::vector<int>{0, 1, 2, 3, 4, 5, 2, 3, 4, 5, 2, 3, 4, 5, 2, 3, 4, 5, 6, 7}));

    s.setEdgeSize(4); // 2 x 4 is not less than 8
    EXPECT_EQ(s.EdgeSize(), 2);
    s.setImageHRuler(QImage());
    EXPECT_EQ(s.UserImages(), 1 << siHThumb);
    EXPECT_EQ(s.ImageHRuler().size(), sliderimages::BuiltIn("W95_HRL").size());
}

TEST(Slider, TicksLieBelowTheThumbAtLeastThreePixelsApart)
{
    Fixture f;
    TSlider& s = *f.slider;
    s.setOptions(soShowPoints);
    // The built-in ruler is thinner than the thumb: centred across it, ticks below both.
    EXPECT_EQ(s.RulerRect().top(), 2) << "(11 - 6) / 2";
    EXPECT_EQ(s.PointsRect().top(), 12) << "below the 11 of the thumb";

    auto ticks = [&] {
        const QImage image = f.shown();
        const QRect r = s.PointsRect();
        std::vector<std::pair<int, int>> found; // x, length
        for (int x = 0; x < s.width(); ++x) {
            int length = 0;
            while (r.top() + length <= r.bottom() && image.pixel(x, r.top() + length) == qRgb(0, 0, 0))
                ++length;
            if (length > 0)
                found.emplace_back(x, length);
        }
        return found;
    };
    // Under the middle of the 9 wide thumb: 4 pixels right of its place.
    auto t = ticks();
    ASSERT_EQ(t.size(), 11u); // every 10 of 0..100
    EXPECT_EQ(t.front(), std::make_pair(4, 4));
    EXPECT_EQ(t[1], std::make_pair(13 + 4, 3)) << "10% of 131";
    EXPECT_EQ(t.back(), std::make_pair(131 + 4, 4));

    // Increment 1 on 131 pixels: a tick every 3 values keeps them 3.9 pixels apart.
    s.setIncrement(1);
    t = ticks();
    ASSERT_EQ(t.size(), 34u);
    EXPECT_EQ(t[1].first, 4 + 4) << "3% of 131";
}
