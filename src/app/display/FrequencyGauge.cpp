#include "FrequencyGauge.h"

#include <QApplication>
#include <QBackingStore>
#include <QPainter>
#include <QWindow>

#include <algorithm>
#include <cstring>

namespace display {

TSpectrum::TSpectrum(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(Width, Height);
    // Sees every widget's moves, stacking and showing, so the place of the
    // box in its window is worked out again only after one of them.
    qApp->installEventFilter(this);
}

bool TSpectrum::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::ZOrderChange:
    case QEvent::ParentChange:
    case QEvent::ChildRemoved:
    case QEvent::WinIdChange:
        if (watched->isWidgetType())
            place_.reset();
        break;
    default:
        break;
    }
    return false;
}

const TSpectrum::Place& TSpectrum::place()
{
    if (!place_) {
        QWidget* top = window();
        const QWidget* nativeParent = isWindow() ? this : nativeParentWidget();
        // Nothing of the window over the box and none of it cut off: what
        // the repaint manager would draw is the box whole.
        const bool uncovered = nativeParent == top && isVisible() && visibleRegion() == QRegion(rect());
        place_ = Place{top, QRect(mapTo(top, QPoint(0, 0)), size()), uncovered};
    }
    return *place_;
}

void TSpectrum::CreateBasicImage()
{
    background_ = QImage(Width, Height, QImage::Format_RGB32);
    background_.fill(palette().color(QPalette::Button));
    // A black dotted pen along the left edge and the bottom edge, every other
    // pixel set.
    for (int y = 0; y < Height; y += 2)
        background_.setPixel(0, y, qRgb(0, 0, 0));
    for (int x = 0; x < Width; x += 2)
        background_.setPixel(x, Height - 1, qRgb(0, 0, 0));
    resize(Width, Height);
    work_ = QImage(Width, Height, QImage::Format_RGB32);
    bar_ = QImage(3, BarHeight, QImage::Format_RGB32);
    bar_.fill(BarColour);
}

void TSpectrum::ShowBackground()
{
    shown_ = &background_;
    update();
}

void TSpectrum::DisplayFFTBand(const TBandOut& bandOut)
{
    if (background_.isNull())
        CreateBasicImage();
    // What this frame draws: per band the bar height and the level of its peak
    // mark (0 for none: a mark at level 0 would lie under any bar).
    FrameMarks marks{};
    for (int b = 0; b < Bands; ++b) {
        const int v = std::min<int>(bandOut[size_t(b)], BarHeight);
        marks[size_t(b) * 2] = int8_t(v);
        float& peak = PeakLevels[size_t(b)];
        int& hold = PeakHold[size_t(b)];
        const int top = int(peak);
        if (v >= top) {
            peak = float(v) + 0.01f;
            hold = 0;
            continue;
        }
        marks[size_t(b) * 2 + 1] = int8_t(top);
        // Held for 8 frames, then falling by 0.3 more on every frame.
        if (hold >= 8)
            peak = float(double(peak) - (hold - 8) * 0.3);
        if (peak >= 0)
            ++hold;
        else
            peak = 0;
    }
    // The same picture again is not painted again.
    if (shown_ == &work_ && marks == shownMarks_)
        return;
    shownMarks_ = marks;
    composeFrame(marks);
    shown_ = &work_;
    // Shown now rather than on a later pass of the event loop, in this box only.
    if (!presentInBackingStore())
        repaint();
}

bool TSpectrum::presentInBackingStore()
{
    const Place& at = place();
    if (!at.uncovered || !shown_ || shown_->size() != at.box.size())
        return false;
    QWindow* handle = at.window->windowHandle();
    QBackingStore* store = at.window->backingStore();
    if (!store || !handle || !handle->isExposed() || handle->devicePixelRatio() != 1.0)
        return false;
    const QRect& box = at.box;
    store->beginPaint(box);
    auto* image = dynamic_cast<QImage*>(store->paintDevice());
    const bool plain =
        image && image->rect().contains(box) &&
        (image->format() == QImage::Format_RGB32 || image->format() == QImage::Format_ARGB32_Premultiplied);
    if (plain)
        for (int y = 0; y < box.height(); ++y)
            std::memcpy(image->scanLine(box.y() + y) + box.x() * 4, shown_->constScanLine(y), box.width() * 4);
    store->endPaint();
    if (plain)
        store->flush(box, handle);
    return plain;
}

void TSpectrum::composeFrame(const FrameMarks& marks)
{
    std::memcpy(work_.bits(), background_.constBits(), size_t(background_.sizeInBytes()));
    for (int b = 0; b < Bands; ++b) {
        const int x = b * 4 + 2;
        const int v = marks[size_t(b) * 2];
        // The bar stands on the bottom edge, v pixels high.
        for (int y = BarHeight - v; y < BarHeight; ++y)
            std::memcpy(work_.scanLine(y) + x * 4, bar_.constScanLine(y), 3 * 4);
        if (const int mark = marks[size_t(b) * 2 + 1]) {
            auto* line = reinterpret_cast<QRgb*>(work_.scanLine(BarHeight - mark));
            std::fill(line + x, line + x + 3, PeakColour);
        }
    }
}

void TSpectrum::ResetPeaks()
{
    PeakLevels.fill(0);
    PeakHold.fill(0);
}

void TSpectrum::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (shown_)
        painter.drawImage(0, 0, *shown_);
    else
        painter.fillRect(rect(), palette().color(QPalette::Button));
}

} // namespace display
