// The design's faces come out as the installed Linux faces, and the built
// controls are named, placed and sized as asked.
#include "controls/FormBuilder.h"

#include <QCheckBox>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QWidget>
#include <gtest/gtest.h>

TEST(FormBuilder, DesignFacesAreDrawnWithTheInstalledStandIns)
{
    // QFontInfo names the face actually matched: a misspelt family or a
    // missing font package would show a fallback here.
    const QFontInfo arial(DesignFont(DesignFace::Arial, 19, true));
    EXPECT_EQ(arial.family(), "Liberation Sans");
    EXPECT_EQ(arial.pixelSize(), 19);
    EXPECT_TRUE(arial.bold());
    const QFontInfo tahoma(DesignFont(DesignFace::Tahoma, 24));
    EXPECT_EQ(tahoma.family(), "DejaVu Sans");
    EXPECT_EQ(tahoma.pixelSize(), 24);
    EXPECT_FALSE(tahoma.bold());
    EXPECT_EQ(WindowFont(), DesignFont(DesignFace::Arial, 11));
}

TEST(FormBuilder, ControlsAreNamedPlacedAndSizedInTheirOwnFont)
{
    QWidget form;
    form.setFont(WindowFont());

    QPushButton* play = makeButton(&form, "Button2", "Play", {40, 88, 33, 17});
    EXPECT_EQ(play->parentWidget(), &form);
    EXPECT_EQ(play->objectName(), "Button2");
    EXPECT_EQ(play->text(), "Play");
    EXPECT_EQ(play->geometry(), QRect(40, 88, 33, 17));
    EXPECT_FALSE(play->testAttribute(Qt::WA_SetFont)) << "without a font it takes the window's";

    // Markup in a caption shows as typed, and the label is as wide as its
    // text in its own (larger) font.
    const QString caption = QStringLiteral("<b>KORVANE</b>");
    QLabel* maker = makeLabel(&form, nullptr, caption, {8, 8}, DesignFont(DesignFace::Tahoma, 24, true));
    EXPECT_TRUE(maker->objectName().isEmpty());
    EXPECT_EQ(maker->textFormat(), Qt::PlainText);
    EXPECT_EQ(maker->pos(), QPoint(8, 8));
    EXPECT_GE(maker->width(), QFontMetrics(maker->font()).horizontalAdvance(caption));
    EXPECT_GT(maker->width(), QFontMetrics(form.font()).horizontalAdvance(caption));

    QCheckBox* repeat = makeCheck(&form, "repeatck", "Repeat", QPoint(256, 88));
    EXPECT_EQ(repeat->geometry(), QRect(QPoint(256, 88), repeat->sizeHint()));
    QCheckBox* echo = makeCheck(&form, "cbecho", "Echo", QRect(232, 72, 80, 17));
    EXPECT_EQ(echo->objectName(), "cbecho");
    EXPECT_EQ(echo->geometry(), QRect(232, 72, 80, 17));
}
