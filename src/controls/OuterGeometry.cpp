#include "OuterGeometry.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMargins>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <limits>
#include <optional>
#include <utility>

namespace {

// Of a title bar, this much must lie on a screen to be grabbed.
constexpr int MinGrabWidth = 40;
// A window manager may still be busy with a window it has just framed.
constexpr int SettleMs = 100;
constexpr int MaxSettleTries = 5;
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

// Follows the frame of one window, and places it again once it is framed.
class FrameWatch : public QObject {
  public:
    explicit FrameWatch(QWidget& window) : QObject(&window), window_(window)
    {
        window.installEventFilter(this);
        watchNativeWindow();
    }

    static FrameWatch& of(QWidget& window)
    {
        for (QObject* child : window.children())
            if (auto* watch = dynamic_cast<FrameWatch*>(child))
                return *watch;
        return *new FrameWatch(window);
    }

    // The frame Qt knows now; else the one this window had when it was
    // framed (a hidden window may have lost it); else the last one seen.
    QMargins frame() const
    {
        const QMargins known = knownFrame(window_);
        return !known.isNull() ? known : frame_ ? *frame_ : lastSeenFrame;
    }

    // Gives the window the outer rectangle `outer` around a frame of `frame`.
    void place(const QRect& outer, const QMargins& frame)
    {
        applyMinimum(frame);
        const QSize client = outer.size().shrunkBy(frame).expandedTo({1, 1});
        if (window_.minimumSize() == window_.maximumSize())
            window_.setFixedSize(client);
        else
            window_.resize(client);
        // Before the window exists Qt asks the window manager to put the frame
        // at the point; afterwards it places the client, around which the
        // frame comes.
        if (!window_.testAttribute(Qt::WA_WState_Created) || !knownFrame(window_).isNull())
            window_.move(outer.topLeft());
        else
            window_.move(outer.topLeft() + QPoint(frame.left(), frame.top()));
    }

    // Places the window at `outer` again as soon as a frame shows around it;
    // the latest wish wins.
    void placeWhenFramed(const std::optional<QRect>& outer) { pending_ = outer; }

    void setOuterMinimum(const QSize& size)
    {
        outerMinimum_ = size;
        applyMinimum(frame());
    }

  protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::Show:
            watchNativeWindow();
            noteFrame();
            break;
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Expose:
            noteFrame();
            break;
        default:
            break;
        }
        return false;
    }

  private:
    // A window manager that keeps the client in place when it frames it moves
    // nothing: the exposure of the native window tells.
    void watchNativeWindow()
    {
        if (QWindow* native = window_.windowHandle(); native && native != native_) {
            native_ = native;
            native->installEventFilter(this);
        }
    }

    void noteFrame()
    {
        const QMargins seen = knownFrame(window_);
        if (seen.isNull())
            return;
        frame_ = seen;
        lastSeenFrame = seen;
        applyMinimum(seen);
        if (pending_ && !settling_) {
            settling_ = true;
            settle(MaxSettleTries);
        }
    }

    // Places the window where it is wanted, and looks again a moment later:
    // a window manager busy with a window it has just framed may drop a
    // request.
    void settle(int triesLeft)
    {
        QTimer::singleShot(SettleMs, this, [this, triesLeft] {
            if (!pending_ || OuterGeometry(window_) == *pending_ || triesLeft == 0) {
                settling_ = false;
                pending_.reset();
                return;
            }
            place(*pending_, frame());
            settle(triesLeft - 1);
        });
    }

    void applyMinimum(const QMargins& frame)
    {
        if (outerMinimum_)
            window_.setMinimumSize(outerMinimum_->shrunkBy(frame).expandedTo({0, 0}));
    }

    QWidget& window_;
    QPointer<QWindow> native_;
    std::optional<QSize> outerMinimum_;
    std::optional<QMargins> frame_;
    std::optional<QRect> pending_;
    bool settling_ = false;
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
    // Placed again where it already is, a window given its place before it
    // existed would lose the frame-inclusive placement.
    if (OuterGeometry(window) != reachable)
        watch.place(reachable, frame);
    // Without a frame yet, the frame that comes may differ from the guess.
    watch.placeWhenFramed(knownFrame(window).isNull() ? std::optional(reachable) : std::nullopt);
}

void SetOuterMinimumSize(QWidget& window, const QSize& outer)
{
    FrameWatch::of(window).setOuterMinimum(outer);
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
