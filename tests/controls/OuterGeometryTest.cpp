// Stored window places that would leave a title bar out of reach.

#include "controls/OuterGeometry.h"

#include <QWidget>
#include <gtest/gtest.h>

namespace {

const QList<QRect> twoScreens{{0, 0, 1280, 800}, {1280, 0, 1024, 768}};
constexpr int Title = 24;

} // namespace

TEST(OuterGeometry, ATitleBarThatCanBeGrabbedStaysWhereItIs)
{
    for (const QRect& outer : {QRect(97, 125, 330, 177), QRect(-290, 10, 330, 177), // 40 px of it on the left
                               QRect(1200, 300, 330, 177),                          // across both screens
                               QRect(1500, 744, 300, 400)})                         // bar on the second screen
        EXPECT_EQ(KeepTitleBarOnScreen(outer, twoScreens, Title), outer);
}

TEST(OuterGeometry, ATitleBarOutOfReachComesOntoTheNearestScreen)
{
    // Above the top: the window comes down to it.
    EXPECT_EQ(KeepTitleBarOnScreen({97, -60, 330, 177}, twoScreens, Title), QRect(97, 0, 330, 177));
    EXPECT_EQ(KeepTitleBarOnScreen({97, -5, 330, 177}, twoScreens, Title), QRect(97, 0, 330, 177));
    // Too little of the bar shows on the left.
    EXPECT_EQ(KeepTitleBarOnScreen({-300, 100, 330, 177}, twoScreens, Title), QRect(0, 100, 330, 177));
    // Beyond the right of the second screen, or below it where the first goes on.
    EXPECT_EQ(KeepTitleBarOnScreen({2500, 100, 300, 322}, twoScreens, Title), QRect(2004, 100, 300, 322));
    EXPECT_EQ(KeepTitleBarOnScreen({1400, 780, 300, 322}, twoScreens, Title), QRect(1400, 446, 300, 322));
    // Far below the first: as much of it as fits, the title bar first.
    EXPECT_EQ(KeepTitleBarOnScreen({100, 5000, 300, 900}, twoScreens, Title), QRect(100, 0, 300, 900));
    // Without screens nothing is known.
    EXPECT_EQ(KeepTitleBarOnScreen({100, -500, 300, 300}, {}, Title), QRect(100, -500, 300, 300));
}

TEST(OuterGeometry, WithoutAFrameTheOuterRectangleIsTheWindowsOwn)
{
    QWidget resizable;
    SetOuterGeometry(resizable, {120, 90, 320, 400});
    resizable.show();
    EXPECT_EQ(resizable.geometry(), QRect(120, 90, 320, 400));
    EXPECT_EQ(OuterGeometry(resizable), QRect(120, 90, 320, 400));

    QWidget fixed;
    fixed.setFixedSize(200, 100);
    SetOuterGeometry(fixed, {10, 20, 330, 177});
    fixed.show();
    EXPECT_EQ(OuterGeometry(fixed), QRect(10, 20, 330, 177));
    EXPECT_EQ(fixed.minimumSize(), fixed.maximumSize()) << "a fixed window stays fixed";
}
