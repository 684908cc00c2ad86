// The player's sound effects: the flanger DSP on every engine, and the
// equalizer, echo and reverb of the engine's effect set.

#include "AudioPlayer.h"

#include "BassBinding.h"
#include "Flanger.h"

#include <algorithm>
#include <cmath>

namespace player {
namespace {

struct BandShape {
    float centre;    // Hz
    float bandwidth; // semitones
};

constexpr std::array<BandShape, kEQBandCount> kBands{{
    {80, 4},
    {170, 4},
    {310, 4},
    {600, 4},
    {1000, 5},
    {3000, 6},
    {6000, 5},
    {10000, 4},
    {12000, 3},
    {14000, 3},
}};

constexpr int kMaxLevel = 32;

} // namespace

void TAudioPlayer::ClearEffectHandles()
{
    dspHandle_ = 0;
    if (!dx8EffectReady_)
        return;
    eqHandles_.fill(0);
    echoHandle_ = 0;
    reverbHandle_ = 0;
}

void TAudioPlayer::removeEffect(DWORD& handle)
{
    if (handle != 0 && Bass().BASS_ChannelRemoveFX(channel_, handle))
        handle = 0;
}

void TAudioPlayer::applyBand(int band, float gain)
{
    const BASS_FXPARAMEQ parameters{kBands[std::size_t(band)].centre, kBands[std::size_t(band)].bandwidth, gain};
    Bass().BASS_FXSetParameters(eqHandles_[std::size_t(band)], &parameters);
}

void TAudioPlayer::applyEcho()
{
    BASS_FXECHO echo{};
    if (!Bass().BASS_FXGetParameters(echoHandle_, &echo))
        return;
    echo.fWetDryMix = static_cast<float>(echoLevel_) * 1.2f;
    echo.fFeedback = 30.0f;
    Bass().BASS_FXSetParameters(echoHandle_, &echo);
}

void TAudioPlayer::applyReverb()
{
    BASS_FXREVERB reverb{};
    if (!Bass().BASS_FXGetParameters(reverbHandle_, &reverb))
        return;
    reverb.fInGain = 0.0f;
    reverb.fReverbMix = static_cast<float>(reverbLevel_) * 0.5f - 16.0f;
    reverb.fReverbTime = 1000.0f;
    reverb.fHighFreqRTRatio = 0.1f;
    Bass().BASS_FXSetParameters(reverbHandle_, &reverb);
}

void TAudioPlayer::SetSoundEffects(TSoundEffects effects)
{
    soundEffects_ = effects;
    if (kind_ == ckNone)
        return;
    const BassFunctions& bass = Bass();
    if ((effects & seFlanger) && dspHandle_ == 0) {
        // The flanger is not running on any channel now, so its state is ours to reset.
        ProcessFlanger().Reset();
        dspHandle_ = bass.BASS_ChannelSetDSP(channel_, FlangerDsp, nullptr);
    } else if (!(effects & seFlanger) && dspHandle_ != 0 && bass.BASS_ChannelRemoveDSP(channel_, dspHandle_)) {
        dspHandle_ = 0;
    }
    if (!dx8EffectReady_)
        return;

    for (int band = 0; band < kEQBandCount; ++band) {
        DWORD& handle = eqHandles_[std::size_t(band)];
        if (!(effects & seEqualizer)) {
            removeEffect(handle);
            continue;
        }
        if (handle == 0)
            handle = bass.BASS_ChannelSetFX(channel_, BASS_FX_PARAMEQ);
        applyBand(band, gains_[std::size_t(band)]);
    }
    if (effects & seEcho) {
        if (echoHandle_ == 0)
            echoHandle_ = bass.BASS_ChannelSetFX(channel_, BASS_FX_ECHO);
        applyEcho();
    } else {
        removeEffect(echoHandle_);
    }
    if (effects & seReverb) {
        if (reverbHandle_ == 0)
            reverbHandle_ = bass.BASS_ChannelSetFX(channel_, BASS_FX_REVERB);
        applyReverb();
    } else {
        removeEffect(reverbHandle_);
    }
}

void TAudioPlayer::SetEQGains(const EQGains& gains)
{
    if (!dx8EffectReady_)
        return;
    for (int band = 0; band < kEQBandCount; ++band) {
        const float gain = std::clamp(gains[std::size_t(band)], -15.0f, 15.0f);
        gains_[std::size_t(band)] = gain;
        const DWORD handle = eqHandles_[std::size_t(band)];
        if (!(soundEffects_ & seEqualizer) || handle == 0)
            continue;
        BASS_FXPARAMEQ current{};
        if (Bass().BASS_FXGetParameters(handle, &current) && std::fabs(current.fGain - gain) < 0.001f)
            continue;
        applyBand(band, gain);
    }
}

void TAudioPlayer::SetEchoLevel(int level)
{
    if (static_cast<unsigned>(level) > kMaxLevel)
        return;
    echoLevel_ = level;
    if ((soundEffects_ & seEcho) && echoHandle_ != 0)
        applyEcho();
}

void TAudioPlayer::SetReverbLevel(int level)
{
    if (static_cast<unsigned>(level) > kMaxLevel)
        return;
    reverbLevel_ = level;
    if ((soundEffects_ & seReverb) && reverbHandle_ != 0)
        applyReverb();
}

} // namespace player
