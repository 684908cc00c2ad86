#include "app/display/Spectrum.h"

#include <QTest>
#include <gtest/gtest.h>

using display::TBandOut;
using display::TSpectrum;

namespace {

constexpr QRgb Black = 0xFF000000;

TBandOut bands(std::initializer_list<std::pair<int, uint16_t>> levels)
{
    TBandOut out{};
    for (auto [band, level] : levels)
        out[size_t(band)] = level;
    return out;
}

int barX(int band) { return band * 4 + 2; }

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

TEST(Spectrum, BackgroundHasDottedLeftAndBottomEdges)
{
    TSpectrum s;
    s.CreateBasicImage();
    const QImage& bg = s.BackgroundBitmap();
    ASSERT_EQ(bg.size(), QSize(102, 25));
    EXPECT_EQ(s.size(), QSize(102, 25));
    const QRgb face = s.palette().color(QPalette::Button).rgb();
    EXPECT_EQ(bg.pixel(0, 0), Black);
    EXPECT_EQ(bg.pixel(0, 1), face);
    EXPECT_EQ(bg.pixel(0, 24), Black);
    EXPECT_EQ(bg.pixel(100, 24), Black);
    EXPECT_EQ(bg.pixel(101, 24), face);
    EXPECT_EQ(bg.pixel(50, 10), face);
    EXPECT_EQ(s.BarBitmap().size(), QSize(3, 24));
    EXPECT_EQ(s.BarBitmap().pixel(1, 12), TSpectrum::BarColour);
}

TEST(Spectrum, BarsStandOnTheBottomEdgeAndAreCappedAt24)
{
    TSpectrum s;
    s.CreateBasicImage();
    s.DisplayFFTBand(bands({{0, 1}, {1, 10}, {12, 24}, {24, 30}}));
    const QImage& w = s.WorkBitmap();
    EXPECT_EQ(barHeight(w, 0), 1);
    EXPECT_EQ(barHeight(w, 1), 10);
    EXPECT_EQ(barHeight(w, 12), 24);
    EXPECT_EQ(barHeight(w, 24), 24) << "a level of 30 is drawn as 24";
    EXPECT_EQ(barHeight(w, 5), 0);
    // Three pixels wide, with a background column between bars; the bottom edge stays.
    EXPECT_EQ(w.pixel(barX(1) + 2, 20), TSpectrum::BarColour);
    EXPECT_EQ(w.pixel(barX(1) + 3, 20), s.BackgroundBitmap().pixel(barX(1) + 3, 20));
    EXPECT_EQ(w.pixel(barX(1) - 1, 20), s.BackgroundBitmap().pixel(barX(1) - 1, 20));
    EXPECT_EQ(w.pixel(barX(12), 24), s.BackgroundBitmap().pixel(barX(12), 24));
    EXPECT_EQ(w.pixel(barX(12), 0), TSpectrum::BarColour);
    EXPECT_FLOAT_EQ(s.PeakLevels[24], 24.01f);
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
    const float expected[] = {19.71f, 19.11f, 18.21f, 17.01f};
    for (float level : expected) {
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

    // Falling below zero sets it to 0; a new bar raises it again at once.
    for (int frame = 0; frame < 20; ++frame)
        s.DisplayFFTBand(bands({}));
    EXPECT_GE(s.PeakLevels[3], 0.0f);
    EXPECT_LT(s.PeakLevels[3], 0.02f);
    EXPECT_EQ(peakRow(s.WorkBitmap(), 3), -1);
    s.DisplayFFTBand(bands({{3, 7}}));
    EXPECT_FLOAT_EQ(s.PeakLevels[3], 7.01f);
    EXPECT_EQ(s.PeakHold[3], 0);
}

TEST(Spectrum, ThePaintBoxShowsTheComposedFrameOrTheBackground)
{
    TSpectrum s;
    s.CreateBasicImage();
    s.DisplayFFTBand(bands({{0, 12}}));
    EXPECT_EQ(s.Shown(), &s.WorkBitmap());
    EXPECT_EQ(s.grab().toImage().convertToFormat(QImage::Format_RGB32), s.WorkBitmap());
    s.ShowBackground();
    EXPECT_EQ(s.grab().toImage().convertToFormat(QImage::Format_RGB32), s.BackgroundBitmap());
    s.ResetPeaks();
    EXPECT_EQ(s.PeakLevels[0], 0.0f);
}
