#include "app/display/FrequencyGauge.h"

#include <QPaintEvent>
#include <QTest>
#include <gtest/gtest.h>

using display::TBandOut;
using display::TSpectrum;

#include <tuple>

namespace {

TBandOut bands(std::initializer_list<std::pair<int, uint16_t>> levels)
{
    TBandOut out{};
    for (auto [band, level] : levels)
        out[size_t(band)] = level;
    return out;
}

int barX(int band)
{
    return band * 4 + 2;
}

// Height of the bar of a band, counted up from the bottom edge.
int barHeight(const QImage& image, int band)
{
    int h = 0;
    while (h < 24 && image.pixel(barX(band), 23 - h) == TSpectrum::BarColour)
        ++h;
    return h;
}

// The row of a band's peak mark, or -1.
int peakRow(const QImage& image, int band)
{
    for (int y = 0; y < 25; ++y)
        if (image.pixel(barX(band), y) == TSpectrum::PeakColour)
            return y;
    return -1;
}

} // namespace

TEST(Spectrum, BarsStandOnTheDottedBottomEdgeAndAreCappedAt24)
{
    TSpectrum s;
    s.CreateBasicImage();
    const QImage& bg = s.BackgroundBitmap();
    ASSERT_EQ(bg.size(), QSize(102, 25));
    const QRgb face = s.palette().color(QPalette::Button).rgb();
    const QRgb Black = qRgb(0, 0, 0);
    EXPECT_EQ(std::make_tuple(bg.pixel(0, 0), bg.pixel(0, 1), bg.pixel(100, 24), bg.pixel(101, 24), bg.pixel(50, 10)),
              std::make_tuple(Black, face, Black, face, face));

    s.DisplayFFTBand(bands({{0, 1}, {1, 10}, {12, 24}, {24, 30}}));
    const QImage& w = s.WorkBitmap();
    EXPECT_EQ(barHeight(w, 0), 1);
    EXPECT_EQ(barHeight(w, 1), 10);
    EXPECT_EQ(barHeight(w, 12), 24);
    EXPECT_EQ(barHeight(w, 24), 24) << "a level of 30 is drawn as 24";
    EXPECT_EQ(barHeight(w, 5), 0);
    // Three pixels wide with a gap before the next; the bottom edge stays.
    EXPECT_EQ(w.pixel(barX(1) + 2, 20), TSpectrum::BarColour);
    EXPECT_EQ(w.pixel(barX(1) + 3, 20), face);
    EXPECT_EQ(w.pixel(barX(12), 24), bg.pixel(barX(12), 24));
    EXPECT_EQ(w.pixel(barX(12), 0), TSpectrum::BarColour);
}

TEST(Spectrum, PeaksHoldForNineFramesThenFallFaster)
{
    TSpectrum s;
    s.CreateBasicImage();
    s.DisplayFFTBand(bands({{3, 20}}));
    EXPECT_FLOAT_EQ(s.PeakLevels[3], 20.01f);
    EXPECT_EQ(peakRow(s.WorkBitmap(), 3), -1) << "no mark while the bar reaches the peak";

    // Hold counts 0 to 8: the level stays, the mark sits at 20.
    for (int frame = 0; frame < 9; ++frame) {
        s.DisplayFFTBand(bands({{3, 5}}));
        EXPECT_FLOAT_EQ(s.PeakLevels[3], 20.01f) << frame;
        EXPECT_EQ(peakRow(s.WorkBitmap(), 3), 24 - 20);
        EXPECT_EQ(barHeight(s.WorkBitmap(), 3), 5);
    }
    EXPECT_EQ(s.PeakHold[3], 9);
    for (float level : {19.71f, 19.11f, 18.21f, 17.01f}) {
        s.DisplayFFTBand(bands({{3, 5}}));
        EXPECT_NEAR(s.PeakLevels[3], level, 1e-4);
    }
    // The mark is three pixels wide at the truncated level.
    s.DisplayFFTBand(bands({{3, 5}}));
    const QImage& w = s.WorkBitmap();
    const int row = 24 - int(17.01f);
    EXPECT_EQ(w.pixel(barX(3), row), TSpectrum::PeakColour);
    EXPECT_EQ(w.pixel(barX(3) + 2, row), TSpectrum::PeakColour);
    EXPECT_NE(w.pixel(barX(3) + 3, row), TSpectrum::PeakColour);

    // Falling below zero stops at 0.
    for (int frame = 0; frame < 20; ++frame)
        s.DisplayFFTBand(bands({}));
    EXPECT_EQ(peakRow(s.WorkBitmap(), 3), -1);
}

TEST(Spectrum, ThePaintBoxShowsTheComposedFrameOrTheBackground)
{
    TSpectrum s;
    s.CreateBasicImage();
    s.DisplayFFTBand(bands({{0, 12}}));
    EXPECT_EQ(s.grab().toImage().convertToFormat(QImage::Format_RGB32), s.WorkBitmap());
    s.ShowBackground();
    EXPECT_EQ(s.grab().toImage().convertToFormat(QImage::Format_RGB32), s.BackgroundBitmap());
}

namespace {

// Counts the paints that reach the screen.
class CountingSpectrum : public TSpectrum {
  public:
    using TSpectrum::TSpectrum;
    int paints = 0;
    QRect painted;

  protected:
    void paintEvent(QPaintEvent* event) override
    {
        ++paints;
        painted = event->rect();
        TSpectrum::paintEvent(event);
    }
};

class CountingWidget : public QWidget {
  public:
    using QWidget::QWidget;
    int paints = 0;

  protected:
    void paintEvent(QPaintEvent*) override { ++paints; }
};

} // namespace

TEST(Spectrum, OnlyAFrameThatChangesThePictureIsPainted)
{
    CountingSpectrum s;
    s.CreateBasicImage();
    s.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&s));
    auto paintsAfter = [&s](const TBandOut& frame) {
        s.paints = 0;
        s.DisplayFFTBand(frame);
        QCoreApplication::processEvents();
        return s.paints;
    };
    EXPECT_EQ(paintsAfter(bands({{2, 10}})), 1);
    EXPECT_EQ(paintsAfter(bands({{2, 10}})), 0) << "the same bars again";
    EXPECT_EQ(paintsAfter(bands({{2, 4}})), 1) << "bar lower, mark appears at 10";
    // The mark holds at 10 while the bar stays: nothing new to show.
    EXPECT_EQ(paintsAfter(bands({{2, 4}})), 0);
    // The held mark falls a whole level only after a few more frames.
    int paints = 0;
    for (int frame = 0; frame < 8; ++frame)
        paints += paintsAfter(bands({{2, 4}}));
    EXPECT_EQ(paints, 0);
    EXPECT_EQ(paintsAfter(bands({{2, 4}})), 1) << "9.71 marks 9";
    EXPECT_EQ(peakRow(s.WorkBitmap(), 2), 24 - 9);
    EXPECT_EQ(paintsAfter(bands({{2, 4}})), 0) << "9.11 still marks 9";

    // After the background was shown, the same frame is painted again.
    s.ShowBackground();
    QCoreApplication::processEvents();
    EXPECT_EQ(paintsAfter(bands({{2, 4}})), 1);
}

TEST(Spectrum, AFrameIsPaintedAtOnceInItsOwnBoxOnly)
{
    CountingWidget window;
    window.resize(200, 60);
    CountingWidget sibling(&window);
    sibling.setGeometry(0, 0, 200, 30);
    CountingSpectrum s(&window);
    s.move(10, 30);
    s.CreateBasicImage();
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QCoreApplication::processEvents();
    window.paints = sibling.paints = s.paints = 0;

    s.DisplayFFTBand(bands({{5, 20}}));
    EXPECT_EQ(s.paints, 1) << "painted before the event loop runs again";
    EXPECT_EQ(s.painted, QRect(0, 0, TSpectrum::Width, TSpectrum::Height));
    QCoreApplication::processEvents();
    EXPECT_EQ(s.paints, 1);
    EXPECT_EQ(window.paints, 0) << "the parent behind the box";
    EXPECT_EQ(sibling.paints, 0);
}
