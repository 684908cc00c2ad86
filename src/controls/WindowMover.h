// Moving a window by a left-button press on its bare surface (as if its
// caption had been grabbed), and snapping it to the screen's edges.
#pragma once

#include <QObject>
#include <QPoint>
#include <QRect>

class QWidget;

// Where a window whose frame is `frame` ends up when every edge that lies
// within `distance` pixels of the same edge of `area` is pulled onto it.
QPoint SnapToEdges(const QRect& frame, const QRect& area, int distance);

class WindowMover : public QObject {
    Q_OBJECT
  public:
    static constexpr int SnapDistance = 10;

    // Watches `window` itself; addSurface adds panels whose bare surface moves it too.
    explicit WindowMover(QWidget* window);
    void addSurface(QWidget* surface);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget* window_;
    bool dragging_ = false;
    QPoint grab_; // cursor position relative to the window's frame
};
