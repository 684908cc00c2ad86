// Stored window places that would leave a title bar out of reach.

#include "controls/OuterGeometry.h"

#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

void PrintTo(const QRect& r, std::ostream* out)
{
    *out << r.x() << "," << r.y() << " " << r.width() << "x" << r.height();
}

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

TEST(OuterGeometry, TheOuterRectangleHoldsOnceTheWindowIsFramed)
{
    // The platform here frames windows too, and tells of it only once they show.
    QWidget resizable;
    SetOuterGeometry(resizable, {120, 90, 320, 400});
    resizable.show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return resizable.frameGeometry() == QRect(120, 90, 320, 400); }, 2000))
        << testing::PrintToString(resizable.frameGeometry());
    EXPECT_EQ(OuterGeometry(resizable), resizable.frameGeometry());

    // Once a frame was seen, the next window is placed right at once.
    QWidget fixed;
    fixed.setFixedSize(200, 100);
    SetOuterGeometry(fixed, {10, 20, 330, 177});
    EXPECT_EQ(OuterGeometry(fixed), QRect(10, 20, 330, 177)) << "before it shows";
    fixed.show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return fixed.frameGeometry() == QRect(10, 20, 330, 177); }, 2000))
        << testing::PrintToString(fixed.frameGeometry());
    EXPECT_EQ(fixed.minimumSize(), fixed.maximumSize()) << "a fixed window stays fixed";

    // Moved after it shows, by the program or the user: read back as it is.
    resizable.move(300, 200);
    EXPECT_EQ(OuterGeometry(resizable).topLeft(), QPoint(300, 200));
    SetOuterGeometry(resizable, {50, 60, 300, 300});
    EXPECT_EQ(resizable.frameGeometry(), QRect(50, 60, 300, 300)) << "a framed window is placed right at once";
}
