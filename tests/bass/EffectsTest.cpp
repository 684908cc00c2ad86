// Effects and DSPs measured on the captured output.

#include "EngineHarness.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace enginetest;

namespace {

// Plays the samples (44.1 kHz stereo) through a stream set up by prepare, and
// returns the capture from the first frame the stream sent on.
template <class Prepare> Samples PlayThrough(const Samples& input, Prepare prepare, long* first = nullptr)
{
    CaptureSession session;
    WriteWav(session.file("in.wav"), 44100, 2, input);
    const HSTREAM stream = BASS_StreamCreateFile(FALSE, session.file("in.wav").c_str(), 0, 0, 0);
    EXPECT_NE(stream, 0u);
    prepare(stream);
    EndWaiter end;
    BASS_ChannelSetSync(stream, BASS_SYNC_END, 0, &EndWaiter::Proc, &end);
    EXPECT_TRUE(BASS_StreamPlay(stream, FALSE, 0));
    EXPECT_TRUE(end.waitFor(1));
    Samples out = session.finish();
    if (first)
        *first = FirstSoundFrame(out);
    return out;
}

double Db(double ratio)
{
    return 20 * std::log10(ratio);
}

// A single sample of the given value at frame 0 (both sides), then silence.
Samples Click(long frames, int16_t value)
{
    Samples s(std::size_t(frames) * 2, 0);
    s[0] = s[1] = value;
    return s;
}

} // namespace

TEST(Effects, EqualizerBandRaisesItsCentreOnly)
{
    // 0.4 s at 1 kHz, then 0.4 s at 100 Hz, both at 0.02 of full scale.
    Samples input = Sine(44100, 2, 1000, 0.4, 0.02);
    const Samples low = Sine(44100, 2, 100, 0.4, 0.02);
    input.insert(input.end(), low.begin(), low.end());
    long first = 0;
    const Samples out = PlayThrough(
        input,
        [](HSTREAM stream) {
            const HFX fx = BASS_ChannelSetFX(stream, BASS_FX_PARAMEQ);
            ASSERT_NE(fx, 0u);
            BASS_FXPARAMEQ eq{1000, 12, 15};
            ASSERT_TRUE(BASS_FXSetParameters(fx, &eq));
        },
        &first);
    ASSERT_GE(first, 0);
    const double in = 0.02 / std::sqrt(2.0);
    // Measured away from the start and the change of tone, where the filter settles.
    EXPECT_NEAR(Db(Rms(out, 0, first + 4410, first + 15000) / in), 15.0, 1.0);
    EXPECT_NEAR(Db(Rms(out, 1, first + 4410, first + 15000) / in), 15.0, 1.0);
    EXPECT_NEAR(Db(Rms(out, 0, first + 22050, first + 35280) / in), 0.0, 1.0);
}

TEST(Effects, EchoRepeatsAtTheSetDelayAndLevel)
{
    const Samples out = PlayThrough(Click(22050, 16000), [](HSTREAM stream) {
        const HFX fx = BASS_ChannelSetFX(stream, BASS_FX_ECHO);
        BASS_FXECHO echo;
        ASSERT_TRUE(BASS_FXGetParameters(fx, &echo));
        echo.fWetDryMix = 40;
        echo.fFeedback = 50;
        echo.fLeftDelay = 100;
        echo.fRightDelay = 150;
        ASSERT_TRUE(BASS_FXSetParameters(fx, &echo));
    });
    const long first = FirstSoundFrame(out);
    ASSERT_GE(first, 0);
    auto at = [&](long frame, int side) { return out[std::size_t(first + frame) * 2 + std::size_t(side)]; };
    EXPECT_EQ(at(0, 0), 9600);    // dry: 60%
    EXPECT_EQ(at(4410, 0), 6400); // first echo: 40%
    EXPECT_EQ(at(8820, 0), 3200); // fed back at 50%
    EXPECT_EQ(at(6615, 1), 6400);
    EXPECT_EQ(at(4410, 1), 0);
    EXPECT_EQ(Rms(out, 0, first + 1, first + 4410), 0.0); // nothing in between
}

TEST(Effects, ReverbLengthensTheDecayOfAClick)
{
    auto tail = [](float reverbTime) {
        const Samples out = PlayThrough(Click(44100, 30000), [&](HSTREAM stream) {
            if (reverbTime <= 0)
                return;
            const HFX fx = BASS_ChannelSetFX(stream, BASS_FX_REVERB);
            BASS_FXREVERB reverb{0, 0, reverbTime, 0.5f};
            ASSERT_TRUE(BASS_FXSetParameters(fx, &reverb));
        });
        const long first = FirstSoundFrame(out);
        return Rms(out, 0, first + 22050, first + 30870); // 0.5 s .. 0.7 s after the click
    };
    const double dry = tail(0), shortRoom = tail(300), longRoom = tail(2500);
    EXPECT_EQ(dry, 0.0);
    EXPECT_GT(longRoom, 1e-4);
    EXPECT_GT(longRoom, 10 * shortRoom);
}

TEST(Effects, ParametersHaveDefaultsAndRejectOutOfRange)
{
    CaptureSession session;
    WriteWav(session.file("in.wav"), 44100, 2, Sine(44100, 2, 440, 0.1, 0.1));
    const HSTREAM stream = BASS_StreamCreateFile(FALSE, session.file("in.wav").c_str(), 0, 0, 0);
    const HFX eq = BASS_ChannelSetFX(stream, BASS_FX_PARAMEQ);
    const HFX echo = BASS_ChannelSetFX(stream, BASS_FX_ECHO);
    const HFX reverb = BASS_ChannelSetFX(stream, BASS_FX_REVERB);
    ASSERT_TRUE(eq && echo && reverb);
    EXPECT_EQ(BASS_ChannelSetFX(stream, 5), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLTYPE);

    BASS_FXPARAMEQ e;
    ASSERT_TRUE(BASS_FXGetParameters(eq, &e));
    EXPECT_EQ(e.fCenter, 8000);
    EXPECT_EQ(e.fBandwidth, 12);
    EXPECT_EQ(e.fGain, 0);
    BASS_FXECHO d;
    ASSERT_TRUE(BASS_FXGetParameters(echo, &d));
    EXPECT_EQ(d.fWetDryMix, 50);
    EXPECT_EQ(d.fFeedback, 50);
    EXPECT_EQ(d.fLeftDelay, 500);
    EXPECT_EQ(d.fRightDelay, 500);
    EXPECT_EQ(d.lPanDelay, 0);
    BASS_FXREVERB r;
    ASSERT_TRUE(BASS_FXGetParameters(reverb, &r));
    EXPECT_EQ(r.fInGain, 0);
    EXPECT_EQ(r.fReverbMix, 0);
    EXPECT_EQ(r.fReverbTime, 1000);
    EXPECT_FLOAT_EQ(r.fHighFreqRTRatio, 0.001f);

    // One bad value refuses the whole record.
    const BASS_FXPARAMEQ badGain{1000, 4, 15.5f}, badCentre{20000, 4, 3};
    const BASS_FXECHO badDelay{30, 30, 2500, 500, 0};
    const BASS_FXREVERB badMix{0, 1, 1000, 0.1f}, nanTime{0, -8, NAN, 0.1f};
    EXPECT_FALSE(BASS_FXSetParameters(eq, &badGain));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
    EXPECT_FALSE(BASS_FXSetParameters(eq, &badCentre));
    EXPECT_FALSE(BASS_FXSetParameters(echo, &badDelay));
    EXPECT_FALSE(BASS_FXSetParameters(reverb, &badMix));
    EXPECT_FALSE(BASS_FXSetParameters(reverb, &nanTime));
    ASSERT_TRUE(BASS_FXGetParameters(eq, &e));
    EXPECT_EQ(e.fCenter, 8000);
    ASSERT_TRUE(BASS_FXGetParameters(echo, &d));
    EXPECT_EQ(d.fLeftDelay, 500);

    // Removed effects and their handles are gone.
    ASSERT_TRUE(BASS_ChannelRemoveFX(stream, eq));
    EXPECT_FALSE(BASS_FXGetParameters(eq, &e));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
    ASSERT_TRUE(BASS_StreamFree(stream));
    EXPECT_FALSE(BASS_FXGetParameters(echo, &d));
}

namespace {

void Negate(HDSP, DWORD, void* buffer, DWORD length, void*)
{
    auto* s = static_cast<int16_t*>(buffer);
    for (DWORD i = 0; i < length / 2; ++i)
        s[i] = int16_t(-s[i]);
}

} // namespace

TEST(Effects, DspChangesWhatIsHeard)
{
    Samples input = Sine(44100, 2, 300, 0.2, 0.5);
    long first = 0;
    const Samples out = PlayThrough(
        input, [](HSTREAM stream) { ASSERT_NE(BASS_ChannelSetDSP(stream, &Negate, nullptr), 0u); }, &first);
    ASSERT_GE(first, 0);
    // The sine starts at 0, so the first sound is its second frame.
    for (long i = 1; i < long(input.size() / 2); ++i)
        ASSERT_EQ(out[std::size_t(first + i - 1) * 2], -input[std::size_t(i) * 2]) << "frame " << i;
}
