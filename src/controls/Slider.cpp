#include "Slider.h"

#include "SliderImages.h"

#include <QKeyEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

#include <algorithm>
#include <cmath>

namespace {

constexpr int RepeatIntervalMs = 400;
constexpr const char* BuiltInNames[4] = {"W95_HTB", "W95_HRL", "W95_VTB", "W95_VRL"};

QImage builtIn(TSliderImage which)
{
    return sliderimages::WithTransparency(sliderimages::BuiltIn(BuiltInNames[which]));
}

int clampToInt(int64_t v, int lo, int hi)
{
    return static_cast<int>(std::max<int64_t>(lo, std::min<int64_t>(v, hi)));
}

} // namespace

TSliderThumb::TSliderThumb(QWidget* parent) : QWidget(parent)
{
    // The slider decides what a press on the thumb means.
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void TSliderThumb::setImage(const QImage& image, int numStates)
{
    image_ = image;
    numStates_ = numStates;
    resize(image.width() / numStates, image.height());
    update();
}

void TSliderThumb::setState(int state)
{
    if (state != state_) {
        state_ = state;
        update();
    }
}

void TSliderThumb::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const int frame = numStates_ > 1 ? state_ : 0;
    painter.drawImage(QPoint(0, 0), image_, QRect(frame * width(), 0, width(), height()));
}

TSlider::TSlider(QWidget* parent) : QWidget(parent), thumb_(new TSliderThumb(this))
{
    for (int i = 0; i < 4; ++i)
        images_[i] = builtIn(static_cast<TSliderImage>(i));
    setFocusPolicy(Qt::StrongFocus);
    resize(140, 40);
    rebuildLayout();
}

void TSlider::setImage(TSliderImage which, const QImage& image)
{
    if (image.isNull()) {
        images_[which] = builtIn(which);
        userImages_ &= ~(1 << which);
    } else {
        images_[which] = sliderimages::WithTransparency(image);
        userImages_ |= 1 << which;
    }
    rebuildLayout();
}

void TSlider::setEdgeSize(int edge)
{
    const int length = horizontal() ? rulerImage().width() : rulerImage().height();
    if (edge < 0 || edge == edgeSize_ || 2 * edge >= length)
        return;
    edgeSize_ = edge;
    rebuildLayout();
}

void TSlider::setNumThumbStates(int states)
{
    if ((states != 1 && states != 2) || states == numThumbStates_)
        return;
    numThumbStates_ = states;
    rebuildLayout();
}

void TSlider::setOrientation(TSliderOrientation orientation)
{
    if (orientation == orientation_)
        return;
    orientation_ = orientation;
    rebuildLayout();
}

void TSlider::setOptions(TSliderOptions options)
{
    options_ = options & (soShowFocus | soShowPoints | soSmooth);
    update();
}

void TSlider::setIncrement(int increment)
{
    if (increment <= 0 || increment == increment_)
        return;
    increment_ = increment;
    if (options_ & soSmooth)
        setValue(value_);
    else
        setValue(static_cast<int>(int64_t(increment_) * ((int64_t(value_) - minValue_) / increment_) + minValue_));
    update();
}

void TSlider::setMinValue(int value)
{
    if (value == minValue_ || int64_t(value) > int64_t(maxValue_) - increment_)
        return;
    minValue_ = value;
    // The value stays; only the thumb follows it into the new range.
    placeThumb(PositionOfValue(value_));
    if (options_ & soShowPoints)
        update();
}

void TSlider::setMaxValue(int value)
{
    if (value == maxValue_ || int64_t(value) < int64_t(minValue_) + increment_)
        return;
    maxValue_ = value;
    placeThumb(PositionOfValue(value_));
    if (options_ & soShowPoints)
        update();
}

void TSlider::setValue(int value)
{
    value = std::clamp(value, minValue_, maxValue_);
    const bool changed = value != value_;
    value_ = value;
    placeThumb(PositionOfValue(value));
    if (changed)
        emit OnChange();
}

void TSlider::setOnDrawPoints(std::function<void(QPainter&, const QRect&)> draw)
{
    onDrawPoints_ = std::move(draw);
    update();
}

QSize TSlider::thumbSize() const
{
    const QImage& image = thumbImage();
    return {image.width() / numThumbStates_, image.height()};
}

int TSlider::thumbLength() const
{
    return horizontal() ? thumbSize().width() : thumbSize().height();
}

int TSlider::TrackLength() const
{
    return rulerLength() - thumbLength();
}

int TSlider::PositionOfValue(int value) const
{
    const int64_t range = int64_t(maxValue_) - minValue_;
    if (range <= 0)
        return 0;
    return static_cast<int>(std::llround(double(TrackLength()) * (int64_t(value) - minValue_) / double(range)));
}

int TSlider::ValueOfPosition(int position) const
{
    const int track = TrackLength();
    if (track <= 0)
        return minValue_;
    const int64_t range = int64_t(maxValue_) - minValue_;
    int64_t x = std::llround(double(position) * double(range) / track);
    if (!(options_ & soSmooth))
        x = increment_ * (x / increment_);
    return clampToInt(x + minValue_, minValue_, maxValue_);
}

QRect TSlider::ThumbRect() const
{
    return thumb_->geometry();
}

int TSlider::thumbPositionAt(QPoint topLeft) const
{
    return horizontal() ? topLeft.x() : height() - topLeft.y() - thumb_->height();
}

void TSlider::placeThumb(int position)
{
    position = std::max(0, std::min(position, TrackLength()));
    if (horizontal())
        thumb_->move(position, thumb_->y());
    else
        thumb_->move(thumb_->x(), height() - position - thumb_->height());
}

void TSlider::moveThumbTo(int position)
{
    position = std::max(0, std::min(position, TrackLength()));
    if (!(options_ & soSmooth))
        position = std::max(0, std::min(PositionOfValue(ValueOfPosition(position)), TrackLength()));
    placeThumb(position);
    if (tracking_) {
        const int value = ValueOfPosition(position);
        if (value != value_) {
            value_ = value;
            emit OnChange();
        }
    }
}

void TSlider::buildRuler()
{
    const QImage& image = rulerImage();
    const bool h = horizontal();
    const int length = rulerLength();
    const int imageLength = h ? image.width() : image.height();
    const int thick = h ? image.height() : image.width();
    // A piece of the image (from, len along the ruler) drawn at `at`.
    auto along = [h, thick](int from, int len) { return h ? QRect(from, 0, len, thick) : QRect(0, from, thick, len); };
    auto point = [h](int at) { return h ? QPoint(at, 0) : QPoint(0, at); };

    ruler_ = QImage(h ? std::max(length, 0) : thick, h ? thick : std::max(length, 0), QImage::Format_ARGB32);
    ruler_.fill(Qt::transparent);
    if (length <= 0 || imageLength <= 0)
        return;
    // An image set after EdgeSize may be too short for its edges.
    const int edge = std::min(edgeSize_, (imageLength - 1) / 2);
    const int middle = imageLength - 2 * edge;
    QPainter painter(&ruler_);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    for (int at = edge; at < length - edge; at += middle)
        painter.drawImage(point(at), image, along(edge, std::min(middle, length - edge - at)));
    painter.drawImage(point(0), image, along(0, std::min(edge, length)));
    painter.drawImage(point(length - edge), image, along(imageLength - edge, edge));
}

void TSlider::rebuildLayout()
{
    buildRuler();
    thumb_->setImage(thumbImage(), numThumbStates_);
    const QSize thumb = thumbSize();
    const int rulerThick = horizontal() ? ruler_.height() : ruler_.width();
    const int thumbThick = horizontal() ? thumb.height() : thumb.width();
    const int rulerAt = rulerThick < thumbThick ? (thumbThick - rulerThick) / 2 : 0;
    const int thumbAt = rulerThick < thumbThick ? 0 : (rulerThick - thumbThick) / 2;
    const int thicker = std::max(rulerThick, thumbThick);
    if (horizontal()) {
        rulerRect_ = QRect(0, rulerAt, width(), rulerThick);
        pointsRect_ = QRect(0, thicker + 1, width(), std::max(0, height() - thicker - 1));
        thumb_->move(thumb_->x(), thumbAt);
    } else {
        rulerRect_ = QRect(rulerAt, 0, rulerThick, height());
        pointsRect_ = QRect(thicker + 1, 0, std::max(0, width() - thicker - 1), height());
        thumb_->move(thumbAt, thumb_->y());
    }
    placeThumb(PositionOfValue(value_));
    update();
}

void TSlider::resizeEvent(QResizeEvent*)
{
    rebuildLayout();
}

void TSlider::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawImage(rulerRect_.topLeft(), ruler_);
    if ((options_ & soShowFocus) && hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = rect().adjusted(2, 2, -2, -2);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
    if (options_ & soShowPoints) {
        if (onDrawPoints_)
            onDrawPoints_(painter, pointsRect_);
        else
            drawDefaultPoints(painter);
    }
}

void TSlider::drawDefaultPoints(QPainter& painter) const
{
    const int64_t range = int64_t(maxValue_) - minValue_;
    const int track = TrackLength();
    // The smallest multiple of Increment that keeps ticks 3 pixels apart, or
    // covers the whole range.
    const int64_t coverAll = (range + increment_ - 1) / increment_;
    int64_t k = coverAll;
    if (track > 0)
        k = std::min(coverAll, (3 * range + int64_t(track) * increment_ - 1) / (int64_t(track) * increment_));
    const int64_t step = std::max<int64_t>(1, k) * increment_;

    const QColor colour = palette().color(QPalette::WindowText);
    const int half = thumbLength() / 2;
    for (int64_t v = minValue_; v <= maxValue_; v += step) {
        const int length = (v == minValue_ || v == maxValue_) ? 4 : 3;
        const int p = PositionOfValue(static_cast<int>(v));
        if (horizontal())
            painter.fillRect(p + half, pointsRect_.top(), 1, length, colour);
        else
            painter.fillRect(pointsRect_.left(), height() - p - thumbLength() + half, length, 1, colour);
    }
}

void TSlider::step(StepKind kind)
{
    const int64_t multiple = value_ / increment_;
    switch (kind) {
    case skFirst:
        setValue(minValue_);
        break;
    case skLast:
        setValue(maxValue_);
        break;
    case skUp:
        setValue(clampToInt(increment_ * (multiple + 1), minValue_, maxValue_));
        break;
    case skDown:
        setValue(clampToInt(increment_ * (multiple - 1), minValue_, maxValue_));
        break;
    case skNone:
        break;
    }
}

void TSlider::keyPressEvent(QKeyEvent* event)
{
    constexpr auto shifts = Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    StepKind kind = skNone;
    if (!(event->modifiers() & shifts)) {
        switch (event->key()) {
        case Qt::Key_Home:
            kind = skFirst;
            break;
        case Qt::Key_End:
            kind = skLast;
            break;
        case Qt::Key_Left:
            kind = horizontal() ? skDown : skNone;
            break;
        case Qt::Key_Right:
            kind = horizontal() ? skUp : skNone;
            break;
        case Qt::Key_Up:
            kind = horizontal() ? skNone : skUp;
            break;
        case Qt::Key_Down:
            kind = horizontal() ? skNone : skDown;
            break;
        default:
            break;
        }
    }
    if (kind == skNone) {
        QWidget::keyPressEvent(event);
        return;
    }
    step(kind);
    event->accept();
}

TSlider::StepKind TSlider::regionAt(QPoint point) const
{
    const QRect thumb = ThumbRect();
    if (horizontal()) {
        if (point.x() < thumb.left())
            return skDown;
        return point.x() > thumb.right() ? skUp : skNone;
    }
    if (point.y() < thumb.top())
        return skUp;
    return point.y() > thumb.bottom() ? skDown : skNone;
}

void TSlider::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    const QPoint at = event->position().toPoint();
    if (ThumbRect().contains(at)) {
        grabOffset_ = at - ThumbRect().topLeft();
        tracking_ = true;
        thumb_->setState(1);
        emit OnStartTracking();
        return;
    }
    lastPoint_ = at;
    pressedRegion_ = regionAt(at);
    rulerPressed_ = true;
    step(pressedRegion_);
    repeatTimer_.start(RepeatIntervalMs, this);
}

void TSlider::mouseDoubleClickEvent(QMouseEvent* event)
{
    // A double click on the ruler takes no step; on the thumb it grabs it.
    if (event->button() == Qt::LeftButton && ThumbRect().contains(event->position().toPoint()))
        mousePressEvent(event);
}

void TSlider::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    if (tracking_)
        moveThumbTo(thumbPositionAt(at - grabOffset_));
    else if (rulerPressed_)
        lastPoint_ = at;
}

void TSlider::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (tracking_) {
        tracking_ = false;
        thumb_->setState(0);
        emit OnStopTracking();
    }
    if (rulerPressed_) {
        rulerPressed_ = false;
        repeatTimer_.stop();
    }
}

void TSlider::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != repeatTimer_.timerId()) {
        QWidget::timerEvent(event);
        return;
    }
    if (rulerPressed_ && regionAt(lastPoint_) == pressedRegion_)
        step(pressedRegion_);
}

void TSlider::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    if (options_ & soShowFocus)
        update();
}

void TSlider::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    if (options_ & soShowFocus)
        update();
}
