#include "controls/WindowMover.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>
#include <gtest/gtest.h>

TEST(WindowMover, SnapsEdgesWithinTenPixels)
{
    const QRect area(0, 0, 1000, 800);
    EXPECT_EQ(SnapToEdges(QRect(7, 300, 200, 100), area, 10), QPoint(0, 300));
    EXPECT_EQ(SnapToEdges(QRect(11, 300, 200, 100), area, 10), QPoint(11, 300));
    EXPECT_EQ(SnapToEdges(QRect(795, -9, 200, 100), area, 10), QPoint(800, 0));
    EXPECT_EQ(SnapToEdges(QRect(400, 705, 200, 100), area, 10), QPoint(400, 700));
    // A window as large as the area snaps to its top left.
    EXPECT_EQ(SnapToEdges(QRect(3, 3, 1000, 800), area, 10), QPoint(0, 0));
}

TEST(WindowMover, APressOnTheSurfaceMovesTheWindow)
{
    QWidget window;
    auto* panel = new QWidget(&window);
    panel->setGeometry(0, 50, 200, 30);
    auto* mover = new WindowMover(&window);
    mover->addSurface(panel);
    window.resize(200, 80);
    window.move(300, 200);
    window.show();
    const QPoint start = window.frameGeometry().topLeft();

    auto send = [](QWidget* target, QEvent::Type type, QPoint global, Qt::MouseButtons buttons) {
        const QPoint local = target->mapFromGlobal(global);
        QMouseEvent e(type, local, global, type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                      Qt::NoModifier);
        QApplication::sendEvent(target, &e);
    };
    const QPoint grab = panel->mapToGlobal(QPoint(20, 10));
    send(panel, QEvent::MouseButtonPress, grab, Qt::LeftButton);
    send(panel, QEvent::MouseMove, grab + QPoint(37, 41), Qt::LeftButton);
    EXPECT_EQ(window.frameGeometry().topLeft(), start + QPoint(37, 41));
    send(panel, QEvent::MouseButtonRelease, grab + QPoint(37, 41), Qt::NoButton);
    send(panel, QEvent::MouseMove, grab + QPoint(90, 90), Qt::NoButton);
    EXPECT_EQ(window.frameGeometry().topLeft(), start + QPoint(37, 41)) << "moves stop with the release";
}
