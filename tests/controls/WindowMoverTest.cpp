#include "controls/WindowMover.h"

#include <gtest/gtest.h>

TEST(WindowMover, SnapsEdgesWithinTenPixels)
{
    const QRect area(0, 0, 1000, 800);
    EXPECT_EQ(SnapToEdges(QRect(7, 300, 200, 100), area, 10), QPoint(0, 300));
    EXPECT_EQ(SnapToEdges(QRect(11, 300, 200, 100), area, 10), QPoint(11, 300));
    EXPECT_EQ(SnapToEdges(QRect(795, -9, 200, 100), area, 10), QPoint(800, 0));
    EXPECT_EQ(SnapToEdges(QRect(400, 705, 200, 100), area, 10), QPoint(400, 700));
}
