// The equalizer window heard through the capture device: a band moved while a
// file plays, a preset applied, and the echo and reverb switches.

#include "FormsHarness.h"
#include "PlayerHarness.h"

#include "equalizer/Presetform.h"

#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using namespace player;
using namespace playertest;
using namespace formstest;

namespace {

// Energy of one frequency in the left channel over [from, to) (Goertzel).
double ToneLevel(const Samples& stereo, double hz, long from, long to)
{
    const double w = 2 * std::numbers::pi * hz / 44100.0;
    const double k = 2 * std::cos(w);
    double s1 = 0, s2 = 0;
    for (long i = from; i < to; ++i) {
        const double s0 = stereo[std::size_t(2 * i)] + k * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    const double power = s1 * s1 + s2 * s2 - k * s1 * s2;
    // The tone's amplitude, full scale 1.
    return std::sqrt(std::max(power, 0.0)) * 2 / double(to - from) / 32768.0;
}

double Db(double ratio)
{
    return 20 * std::log10(ratio);
}

// Plays file through a player with the equalizer window attached; act() runs
// once when the position first passes atMs, and returns what sounded with
// the first sound frame and the position of the action in seconds.
struct Heard {
    Samples out;
    long first = -1;
    double actedAt = 0;
    double rmsLeft(double from, double to) const { return Rms(out, 0, first + Frames(from), first + Frames(to)); }
    double tone(double hz, double from, double to) const
    {
        return ToneLevel(out, hz, first + Frames(from), first + Frames(to));
    }
};

Heard PlayWithEqualizer(const std::string& file, const std::function<void(TEqualizerform&)>& before, unsigned atMs,
                        const std::function<void(TEqualizerform&)>& act)
{
    Heard heard;
    Capture capture;
    {
        MainWindowParts parts;
        TAudioPlayer& player = parts.player;
        TEqualizerform& form = parts.equalizer;
        EventLog log;
        log.attach(player);
        player.OnNewFFTData = nullptr;
        before(form);
        EXPECT_TRUE(player.Open(file));
        player.Play();
        bool acted = false;
        EXPECT_TRUE(WaitUntil([&] {
            if (!acted && player.Position() >= atMs) {
                act(form);
                heard.actedAt = player.Position() / 1000.0;
                acted = true;
            }
            return log.playEnds > 0;
        }));
    }
    heard.out = capture.read();
    heard.first = FirstSoundFrame(heard.out);
    EXPECT_GE(heard.first, 0);
    return heard;
}

std::string TwoTones(testsupport::TempDir& dir, double seconds)
{
    Samples low = Sine(44100, 2, 80, seconds, 0.1);
    const Samples high = Sine(44100, 2, 3000, seconds, 0.1);
    for (std::size_t i = 0; i < low.size(); ++i)
        low[i] += high[i];
    WriteWav(dir.file("tones.wav"), 44100, 2, low);
    return dir.file("tones.wav");
}

} // namespace

TEST(EqualizerSound, MovingABandChangesThePlayingSoundAtOnce)
{
    testsupport::TempDir dir;
    WriteWav(dir.file("tone.wav"), 44100, 2, Sine(44100, 2, 1000, 1.6, 0.1));
    const Heard h = PlayWithEqualizer(
        dir.file("tone.wav"), [](TEqualizerform& f) { f.eqcheck->setChecked(true); }, 700,
        [](TEqualizerform& f) {
            f.Slider5->setFocus();
            QTest::keyClick(f.Slider5, Qt::Key_End); // the 1 kHz band to +15 dB
        });
    const double before = h.rmsLeft(0.1, h.actedAt - 0.05);
    const double after = h.rmsLeft(h.actedAt + 0.15, 1.5);
    EXPECT_NEAR(before, 0.1 / std::sqrt(2.0), 0.005) << "flat bands leave the tone alone";
    EXPECT_NEAR(Db(after / before), 15.0, 1.5);
}

TEST(EqualizerSound, APresetAppliedIsHeard)
{
    testsupport::TempDir dir;
    const std::string file = TwoTones(dir, 1.6);
    // Cut the 80 Hz band by 12 dB and lift the 3 kHz band by 12 dB.
    const Heard h = PlayWithEqualizer(
        file,
        [](TEqualizerform& f) {
            f.eqcheck->setChecked(true);
            eqpresets::Positions shape;
            shape.fill(15);
            shape[0] = 3;
            shape[5] = 27;
            f.presetform()->presetFile().Save("Thin", shape);
            f.presetform()->show();
        },
        700,
        [](TEqualizerform& f) {
            QListWidget* list = f.presetform()->Presetlist;
            QListWidgetItem* thin = list->findItems("Thin", Qt::MatchExactly).first();
            QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, list->visualItemRect(thin).center());
        });
    const double lowBefore = h.tone(80, 0.1, h.actedAt - 0.05);
    const double highBefore = h.tone(3000, 0.1, h.actedAt - 0.05);
    const double lowAfter = h.tone(80, h.actedAt + 0.2, 1.5);
    const double highAfter = h.tone(3000, h.actedAt + 0.2, 1.5);
    EXPECT_NEAR(lowBefore, 0.1, 0.01);
    EXPECT_NEAR(highBefore, 0.1, 0.01);
    EXPECT_NEAR(Db(lowAfter / lowBefore), -12.0, 2.0);
    EXPECT_NEAR(Db(highAfter / highBefore), 12.0, 2.0);
}

TEST(EqualizerSound, EchoAndReverbSwitchesAreHeard)
{
    testsupport::TempDir dir;
    // Two bursts one second apart: the first plays dry, the second after the switch.
    Samples s = Sine(44100, 2, 1000, 0.05, 0.5);
    Append(s, Silence(2, 0.95));
    Append(s, Sine(44100, 2, 1000, 0.05, 0.5));
    Append(s, Silence(2, 0.95));
    WriteWav(dir.file("bursts.wav"), 44100, 2, s);

    // Tail energy after each burst: 0.45 s to 0.6 s holds the echo's repeat (500 ms).
    // The switch comes between the first repeat and the second burst.
    auto tails = [&](const std::function<void(TEqualizerform&)>& before,
                     const std::function<void(TEqualizerform&)>& act) {
        const Heard h = PlayWithEqualizer(dir.file("bursts.wav"), before, 700, act);
        EXPECT_LT(h.actedAt, 0.95);
        return std::make_pair(h.rmsLeft(0.45, 0.6), h.rmsLeft(1.45, 1.6));
    };
    const auto echoOn =
        tails([](TEqualizerform& f) { f.EchoSlider->setValue(32); }, [](TEqualizerform& f) { f.cbecho->click(); });
    EXPECT_LT(echoOn.first, 0.001) << "dry before the switch";
    EXPECT_GT(echoOn.second, 0.05) << "the repeat after it";

    const auto echoOff = tails(
        [](TEqualizerform& f) {
            f.EchoSlider->setValue(32);
            f.cbecho->click();
        },
        [](TEqualizerform& f) { f.cbecho->click(); });
    EXPECT_GT(echoOff.first, 0.05);
    EXPECT_LT(echoOff.second, 0.001);

    // The reverb's tail right after the burst.
    auto reverbTails = [&](const std::function<void(TEqualizerform&)>& before,
                           const std::function<void(TEqualizerform&)>& act) {
        const Heard h = PlayWithEqualizer(dir.file("bursts.wav"), before, 700, act);
        EXPECT_LT(h.actedAt, 0.95);
        return std::make_pair(h.rmsLeft(0.1, 0.4), h.rmsLeft(1.1, 1.4));
    };
    const auto reverbOn = reverbTails([](TEqualizerform& f) { f.ReverbSlider->setValue(32); },
                                      [](TEqualizerform& f) { f.cbreverb->click(); });
    EXPECT_LT(reverbOn.first, 0.001);
    EXPECT_GT(reverbOn.second, 0.01);
    const auto reverbOff = reverbTails(
        [](TEqualizerform& f) {
            f.ReverbSlider->setValue(32);
            f.cbreverb->click();
        },
        [](TEqualizerform& f) { f.cbreverb->click(); });
    EXPECT_GT(reverbOff.first, 0.01);
    EXPECT_LT(reverbOff.second, 0.001);
}
