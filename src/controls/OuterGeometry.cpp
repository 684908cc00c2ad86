#include "OuterGeometry.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMargins>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <limits>
#include <optional>

namespace {

// Of a title bar, this much must lie on a screen to be grabbed.
constexpr int MinGrabWidth = 40;
// The title bar's height until a window manager's frame was seen.
constexpr int AssumedTitleHeight = 24;

// The frame of the window framed last: the best guess for a window not framed yet.
QMargins lastSeenFrame;

// What Qt knows of the frame around a window now; none before it is framed,
// and none at all without a window manager.
QMargins knownFrame(const QWidget& window)
{
    const QRect frame = window.frameGeometry();
    const QRect client = window.geometry();
    return {client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
            frame.bottom() - client.bottom()};
}

void place(QWidget& window, const QRect& outer, const QMargins& frame)
{
    const QSize client = outer.size().shrunkBy(frame).expandedTo({1, 1});
    if (window.minimumSize() == window.maximumSize())
        window.setFixedSize(client);
    else
        window.resize(client);
    // Before the window exists Qt asks the window manager to put the frame at
    // the point; afterwards it places the client, around which the frame comes.
    if (!window.testAttribute(Qt::WA_WState_Created) || !knownFrame(window).isNull())
        window.move(outer.topLeft());
    else
        window.move(outer.topLeft() + QPoint(frame.left(), frame.top()));
}

// Follows the frame of one window, and places it again once it is framed.
class FrameWatch : public QObject {
  public:
    explicit FrameWatch(QWidget& window) : QObject(&window), window_(window) { window.installEventFilter(this); }

    static FrameWatch& of(QWidget& window)
    {
        auto* watch = window.findChild<FrameWatch*>(QString(), Qt::FindDirectChildrenOnly);
        return watch ? *watch : *new FrameWatch(window);
    }

    QMargins frame() const { return frame_ ? *frame_ : lastSeenFrame; }
    void placeWhenFramed(const QRect& outer) { pending_ = outer; }

  protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Move || event->type() == QEvent::Resize || event->type() == QEvent::Show)
            noteFrame();
        return false;
    }

  private:
    void noteFrame()
    {
        const QMargins frame = knownFrame(window_);
        if (frame.isNull())
            return;
        frame_ = frame;
        lastSeenFrame = frame;
        if (!pending_)
            return;
        const QRect outer = *pending_;
        pending_.reset();
        // Not from inside the event that told of the frame.
        QTimer::singleShot(0, this, [this, outer, frame] { place(window_, outer, frame); });
    }

    QWidget& window_;
    std::optional<QMargins> frame_;
    std::optional<QRect> pending_;
};

QList<QRect> availableScreens()
{
    QList<QRect> areas;
    for (const QScreen* screen : QGuiApplication::screens())
        areas << screen->availableGeometry();
    return areas;
}

int distanceBetween(const QRect& a, const QRect& b)
{
    const int dx = std::max({0, b.left() - a.right(), a.left() - b.right()});
    const int dy = std::max({0, b.top() - a.bottom(), a.top() - b.bottom()});
    return dx + dy;
}

} // namespace

QRect OuterGeometry(QWidget& window)
{
    const QMargins known = knownFrame(window);
    if (!known.isNull())
        return window.geometry().marginsAdded(known);
    // A hidden window may have lost the frame Qt knew; the one seen last stands in.
    const QMargins frame = FrameWatch::of(window).frame();
    // A window never shown keeps the outer place it was given.
    if (!window.testAttribute(Qt::WA_WState_Created))
        return {window.geometry().topLeft(), window.size().grownBy(frame)};
    return window.geometry().marginsAdded(frame);
}

void SetOuterGeometry(QWidget& window, const QRect& outer)
{
    FrameWatch& watch = FrameWatch::of(window);
    const QMargins frame = watch.frame();
    const QRect reachable =
        KeepTitleBarOnScreen(outer, availableScreens(), frame.top() > 0 ? frame.top() : AssumedTitleHeight);
    place(window, reachable, frame);
    watch.placeWhenFramed(reachable);
}

QRect KeepTitleBarOnScreen(const QRect& outer, const QList<QRect>& screens, int titleHeight)
{
    const QRect titleBar(outer.left(), outer.top(), outer.width(), titleHeight);
    const QRect* nearest = nullptr;
    int nearestDistance = std::numeric_limits<int>::max();
    for (const QRect& screen : screens) {
        const QRect seen = screen.intersected(titleBar);
        if (seen.height() == titleBar.height() && seen.width() >= std::min(MinGrabWidth, titleBar.width()))
            return outer;
        if (const int d = distanceBetween(screen, titleBar); d < nearestDistance) {
            nearestDistance = d;
            nearest = &screen;
        }
    }
    if (!nearest)
        return outer;
    QRect moved = outer;
    moved.moveLeft(
        std::clamp(outer.left(), nearest->left(), std::max(nearest->left(), nearest->right() + 1 - outer.width())));
    moved.moveTop(
        std::clamp(outer.top(), nearest->top(), std::max(nearest->top(), nearest->bottom() + 1 - outer.height())));
    return moved;
}
