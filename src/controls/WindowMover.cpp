#include "WindowMover.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <cstdlib>

QPoint SnapToEdges(const QRect& frame, const QRect& area, int distance)
{
    QPoint at = frame.topLeft();
    if (std::abs(frame.left() - area.left()) <= distance)
        at.setX(area.left());
    else if (std::abs(frame.right() - area.right()) <= distance)
        at.setX(area.right() - frame.width() + 1);
    if (std::abs(frame.top() - area.top()) <= distance)
        at.setY(area.top());
    else if (std::abs(frame.bottom() - area.bottom()) <= distance)
        at.setY(area.bottom() - frame.height() + 1);
    return at;
}

WindowMover::WindowMover(QWidget* window) : QObject(window), window_(window)
{
    addSurface(window);
}

void WindowMover::addSurface(QWidget* surface)
{
    surface->installEventFilter(this);
}

bool WindowMover::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton)
            break;
        // Compositors that place windows themselves only allow a system move.
        if (QGuiApplication::platformName() == QLatin1String("wayland") && window_->windowHandle() &&
            window_->windowHandle()->startSystemMove())
            return true;
        dragging_ = true;
        grab_ = mouse->globalPosition().toPoint() - window_->frameGeometry().topLeft();
        static_cast<QWidget*>(watched)->grabMouse();
        return true;
    }
    case QEvent::MouseMove:
        if (dragging_) {
            const QPoint target = static_cast<QMouseEvent*>(event)->globalPosition().toPoint() - grab_;
            QRect frame = window_->frameGeometry();
            frame.moveTopLeft(target);
            QScreen* screen = window_->screen();
            window_->move(screen ? SnapToEdges(frame, screen->availableGeometry(), SnapDistance) : target);
            return true;
        }
        break;
    case QEvent::MouseButtonRelease:
        if (dragging_ && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            dragging_ = false;
            static_cast<QWidget*>(watched)->releaseMouse();
            return true;
        }
        break;
    default:
        break;
    }
    return false;
}
