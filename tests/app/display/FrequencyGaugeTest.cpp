#include "app/display/FrequencyGauge.h"

#include <QBackingStore>
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

class CountingWidget : public QWidget {
  public:
    using QWidget::QWidget;
    int paints = 0;

  protected:
    void paintEvent(QPaintEvent*) override { ++paints; }
};

// The pixels of a window's backing store: what the window system is handed.
QImage& StoreImage(QWidget& window)
{
    auto* image = dynamic_cast<QImage*>(window.backingStore()->paintDevice());
    EXPECT_TRUE(image);
    static QImage none;
    return image ? *image : none;
}

QImage StoreBox(QWidget& window, const TSpectrum& s)
{
    return StoreImage(window)
        .copy(QRect(s.mapTo(&window, QPoint(0, 0)), s.size()))
        .convertToFormat(QImage::Format_RGB32);
}

} // namespace

TEST(Spectrum, OnlyAFrameThatChangesThePictureIsShown)
{
    TSpectrum s;
    s.CreateBasicImage();
    s.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&s));
    QCoreApplication::processEvents();
    // Blanks the box in the store first: a frame shown again writes it anew.
    auto shownAfter = [&s](const TBandOut& frame) {
        StoreImage(s).fill(Qt::black);
        s.DisplayFFTBand(frame);
        QCoreApplication::processEvents();
        const QImage box = StoreBox(s, s);
        if (box == s.WorkBitmap())
            return true;
        EXPECT_EQ(box.pixel(50, 10), qRgb(0, 0, 0)) << "neither the frame nor left alone";
        return false;
    };
    EXPECT_TRUE(shownAfter(bands({{2, 10}})));
    EXPECT_FALSE(shownAfter(bands({{2, 10}}))) << "the same bars again";
    EXPECT_TRUE(shownAfter(bands({{2, 4}}))) << "bar lower, mark appears at 10";
    // The mark holds at 10 while the bar stays: nothing new to show.
    EXPECT_FALSE(shownAfter(bands({{2, 4}})));
    // The held mark falls a whole level only after a few more frames.
    int shown = 0;
    for (int frame = 0; frame < 8; ++frame)
        shown += shownAfter(bands({{2, 4}}));
    EXPECT_EQ(shown, 0);
    EXPECT_TRUE(shownAfter(bands({{2, 4}}))) << "9.71 marks 9";
    EXPECT_EQ(peakRow(s.WorkBitmap(), 2), 24 - 9);
    EXPECT_FALSE(shownAfter(bands({{2, 4}}))) << "9.11 still marks 9";

    // After the background was shown, the same frame is shown again.
    s.ShowBackground();
    QCoreApplication::processEvents();
    EXPECT_TRUE(shownAfter(bands({{2, 4}})));
}

TEST(Spectrum, AFrameReachesTheWindowAtOnceInItsOwnBoxOnly)
{
    CountingWidget window;
    window.resize(200, 60);
    CountingWidget sibling(&window);
    sibling.setGeometry(0, 0, 200, 30);
    TSpectrum s(&window);
    s.move(10, 30);
    s.CreateBasicImage();
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QCoreApplication::processEvents();
    window.paints = sibling.paints = 0;
    const QImage before = StoreImage(window).copy();

    s.DisplayFFTBand(bands({{5, 20}}));
    EXPECT_EQ(StoreBox(window, s), s.WorkBitmap()) << "in the store before the event loop runs again";
    QCoreApplication::processEvents();
    EXPECT_EQ(StoreBox(window, s), s.WorkBitmap());
    // Nothing else in the window changed or was painted again.
    QImage after = StoreImage(window).copy();
    QImage unchanged = before.copy();
    const QRect box(s.mapTo(&window, QPoint(0, 0)), s.size());
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x)
            after.setPixel(x, y, unchanged.pixel(x, y));
    EXPECT_EQ(after, unchanged);
    EXPECT_EQ(window.paints, 0) << "the parent behind the box";
    EXPECT_EQ(sibling.paints, 0);
}

TEST(Spectrum, AWidgetOverTheBoxKeepsItsPlace)
{
    QWidget window;
    window.resize(200, 60);
    TSpectrum s(&window);
    s.move(10, 30);
    s.CreateBasicImage();
    // A widget made later lies above the box and covers its left half.
    QWidget cover(&window);
    cover.setGeometry(0, 30, 60, 30);
    cover.setAutoFillBackground(true);
    QPalette blue = cover.palette();
    blue.setColor(QPalette::Window, Qt::blue);
    cover.setPalette(blue);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QCoreApplication::processEvents();

    // Every frame differs from the last, so every one is shown.
    int level = 24;
    auto leftAndRight = [&] {
        QCoreApplication::processEvents(); // the window's own repaints first
        --level;
        s.DisplayFFTBand(bands({{1, uint16_t(level)}, {20, uint16_t(level)}}));
        QCoreApplication::processEvents();
        const QImage box = StoreBox(window, s);
        return std::pair(box.pixel(barX(1), 23), box.pixel(barX(20), 23));
    };
    const QRgb bar = TSpectrum::BarColour;
    const QRgb coverColour = qRgb(0, 0, 255);

    // The frames follow the cover as it leaves and comes back, whatever moves
    // it. Each change that covers the box follows a frame on the box whole.
    cover.hide();
    EXPECT_EQ(leftAndRight(), std::pair(bar, bar)) << "hidden";
    cover.show();
    EXPECT_EQ(leftAndRight(), std::pair(coverColour, bar)) << "shown";
    cover.lower();
    EXPECT_EQ(leftAndRight(), std::pair(bar, bar)) << "stacked under the box";
    cover.raise();
    EXPECT_EQ(leftAndRight(), std::pair(coverColour, bar)) << "stacked over it";
    cover.hide();
    cover.move(150, 30);
    cover.show();
    EXPECT_EQ(leftAndRight(), std::pair(bar, bar)) << "shown beside it";
    cover.move(0, 30);
    EXPECT_EQ(leftAndRight(), std::pair(coverColour, bar)) << "moved over it";
    cover.move(150, 30);
    EXPECT_EQ(leftAndRight(), std::pair(bar, bar)) << "moved away";
    s.move(100, 30);
    EXPECT_EQ(leftAndRight(), std::pair(bar, coverColour)) << "the box moved under it";
}
