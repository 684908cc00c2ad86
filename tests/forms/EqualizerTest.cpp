// The equalizer window: its controls, and what each of them asks of the player.

#include "FormsHarness.h"

#include "equalizer/Presetform.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace player;
using namespace formstest;

namespace {

struct Window {
    MainWindowParts parts;
    TAudioPlayer& player = parts.player;
    TEqualizerform& form = parts.equalizer;
};

} // namespace

TEST(EqualizerWindow, MovingBandThreeToTheTopRaisesOnlyThatBand)
{
    Window t;
    QSignalSpy changes(&t.form, &TEqualizerform::eqchangeRequested);
    t.form.Slider3->setFocus();
    QTest::keyClick(t.form.Slider3, Qt::Key_End); // the top end of a vertical band
    EXPECT_EQ(t.form.Slider3->Value(), 30);
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(t.form.Label1->text(), "3");
    const EQGains gains = t.player.EQBandGains();
    for (int n = 0; n < 10; ++n)
        EXPECT_EQ(gains[n], n == 2 ? 15.0f : 0.0f) << "band " << n + 1;

    t.form.Slider10->setValue(0); // as a preset or the configuration would
    EXPECT_EQ(t.form.Label1->text(), "10");
    EXPECT_EQ(t.player.EQBandGains()[9], -15.0f);
    EXPECT_EQ(t.player.EQBandGains()[2], 15.0f);
    t.form.Slider10->setValue(0);
    EXPECT_EQ(changes.count(), 2) << "no change, no request";
}

TEST(EqualizerWindow, EchoLevelWaitsForItsSwitch)
{
    Window t;
    ASSERT_TRUE(t.player.DX8EffectReady());
    const int before = t.player.EchoLevel();
    t.form.EchoSlider->setValue(before == 5 ? 6 : 5);
    const int level = t.form.EchoSlider->Value();
    EXPECT_EQ(t.player.EchoLevel(), before) << "not ticked: nothing changes";
    EXPECT_FALSE(t.player.SoundEffects() & seEcho);

    t.form.cbecho->click();
    EXPECT_TRUE(t.player.SoundEffects() & seEcho);
    EXPECT_EQ(t.player.EchoLevel(), level);
    t.form.EchoSlider->setValue(30);
    EXPECT_EQ(t.player.EchoLevel(), 30);

    // Reverb the same way, and neither clears the other.
    t.form.ReverbSlider->setValue(7);
    EXPECT_FALSE(t.player.SoundEffects() & seReverb);
    t.form.cbreverb->click();
    EXPECT_EQ(t.player.ReverbLevel(), 7);
    EXPECT_EQ(t.player.SoundEffects(), seEcho | seReverb);
    t.form.cbecho->click();
    EXPECT_EQ(t.player.SoundEffects(), seReverb);
    t.form.flanger1->click();
    EXPECT_EQ(t.player.SoundEffects(), seReverb | seFlanger);
}

TEST(EqualizerWindow, EqualizerSwitchKeepsTheGains)
{
    Window t;
    t.form.eqcheck->click();
    EXPECT_EQ(t.player.SoundEffects(), seEqualizer);
    t.form.Slider5->setValue(27);
    t.form.eqcheck->click();
    EXPECT_EQ(t.player.SoundEffects(), 0);
    t.form.eqcheck->setChecked(true); // the configuration at start sets it the same way
    EXPECT_EQ(t.player.SoundEffects(), seEqualizer);
    EXPECT_EQ(t.player.EQBandGains()[4], 12.0f);
}

TEST(EqualizerWindow, PresetsButtonOpensThePresetWindowAndAMoveIsReported)
{
    Window t;
    t.form.show();
    QTest::mouseClick(t.form.presesh, Qt::LeftButton);
    EXPECT_TRUE(t.form.presetform()->isVisible());
    EXPECT_FALSE(t.form.presetform()->isModal());

    QSignalSpy moved(&t.form, &TEqualizerform::moveFinished);
    t.form.move(t.form.pos() + QPoint(40, 30));
    t.form.move(t.form.pos() + QPoint(40, 30));
    EXPECT_TRUE(moved.wait(2000));
    QTest::qWait(300);
    EXPECT_EQ(moved.count(), 1) << "one report when the moving is over";
}
