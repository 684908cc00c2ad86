#include "Effects.h"
#include "bass.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <vector>

namespace bass {
namespace {

bool InRange(float v, float lo, float hi)
{
    return v >= lo && v <= hi; // false for NaN
}

float DbToGain(float db)
{
    return std::pow(10.0f, db / 20.0f);
}

// One peaking band: a biquad after the well-known audio-EQ cookbook formulas,
// with its bandwidth given in semitones.
class ParamEq final : public Effect {
  public:
    explicit ParamEq(unsigned rate) : rate_(rate) { design(); }

    void process(float* f, std::size_t count) override
    {
        if (p_.fGain == 0.0f)
            return; // a 0 dB band is exactly transparent
        for (std::size_t i = 0; i < count; ++i)
            for (int c = 0; c < 2; ++c) {
                float& s = f[i * 2 + c];
                State& z = z_[c];
                const float y = b0_ * s + z.s1;
                z.s1 = b1_ * s - a1_ * y + z.s2;
                z.s2 = b2_ * s - a2_ * y;
                s = y;
            }
    }

    void getParameters(void* record) const override { *static_cast<BASS_FXPARAMEQ*>(record) = p_; }

    bool setParameters(const void* record) override
    {
        const auto& p = *static_cast<const BASS_FXPARAMEQ*>(record);
        if (!InRange(p.fCenter, 80, 16000) || !InRange(p.fBandwidth, 1, 36) || !InRange(p.fGain, -15, 15))
            return false;
        p_ = p;
        design();
        return true;
    }

  private:
    struct State {
        float s1 = 0, s2 = 0;
    };

    void design()
    {
        // A centre near or past Nyquist has no meaning at this rate: keep it below.
        const double centre = std::min<double>(p_.fCenter, 0.45 * rate_);
        const double w0 = 2 * std::numbers::pi * centre / rate_;
        const double octaves = p_.fBandwidth / 12.0;
        const double alpha = std::sin(w0) * std::sinh(std::log(2.0) / 2 * octaves * w0 / std::sin(w0));
        const double a = std::pow(10.0, p_.fGain / 40.0);
        const double a0 = 1 + alpha / a;
        b0_ = float((1 + alpha * a) / a0);
        b1_ = float(-2 * std::cos(w0) / a0);
        b2_ = float((1 - alpha * a) / a0);
        a1_ = b1_;
        a2_ = float((1 - alpha / a) / a0);
    }

    unsigned rate_;
    BASS_FXPARAMEQ p_{8000, 12, 0};
    float b0_ = 1, b1_ = 0, b2_ = 0, a1_ = 0, a2_ = 0;
    std::array<State, 2> z_{};
};

// Delay lines per side with feedback; with pan delay each repeat changes side.
class Echo final : public Effect {
  public:
    explicit Echo(unsigned rate) : rate_(rate), size_(std::size_t(rate) * 2 + 2)
    {
        for (auto& line : lines_)
            line.assign(size_, 0.0f);
        apply();
    }

    void process(float* f, std::size_t count) override
    {
        for (std::size_t i = 0; i < count; ++i) {
            const float inL = f[i * 2], inR = f[i * 2 + 1];
            const float dL = lines_[0][(pos_ + size_ - delay_[0]) % size_];
            const float dR = lines_[1][(pos_ + size_ - delay_[1]) % size_];
            f[i * 2] = inL * dry_ + dL * wet_;
            f[i * 2 + 1] = inR * dry_ + dR * wet_;
            lines_[0][pos_] = inL + feedback_ * (swap_ ? dR : dL);
            lines_[1][pos_] = inR + feedback_ * (swap_ ? dL : dR);
            pos_ = pos_ + 1 == size_ ? 0 : pos_ + 1;
        }
    }

    void getParameters(void* record) const override { *static_cast<BASS_FXECHO*>(record) = p_; }

    bool setParameters(const void* record) override
    {
        const auto& p = *static_cast<const BASS_FXECHO*>(record);
        if (!InRange(p.fWetDryMix, 0, 100) || !InRange(p.fFeedback, 0, 100) || !InRange(p.fLeftDelay, 1, 2000) ||
            !InRange(p.fRightDelay, 1, 2000) || (p.lPanDelay != 0 && p.lPanDelay != 1))
            return false;
        p_ = p;
        apply();
        return true;
    }

  private:
    void apply()
    {
        wet_ = p_.fWetDryMix / 100.0f;
        dry_ = 1.0f - wet_;
        feedback_ = p_.fFeedback / 100.0f;
        delay_[0] = std::max<std::size_t>(1, std::lround(p_.fLeftDelay * rate_ / 1000.0));
        delay_[1] = std::max<std::size_t>(1, std::lround(p_.fRightDelay * rate_ / 1000.0));
        swap_ = p_.lPanDelay != 0;
    }

    unsigned rate_;
    std::size_t size_; // holds the longest delay, 2 s
    BASS_FXECHO p_{50, 50, 500, 500, 0};
    std::array<std::vector<float>, 2> lines_;
    std::size_t pos_ = 0;
    std::array<std::size_t, 2> delay_{};
    float wet_ = 0, dry_ = 0, feedback_ = 0;
    bool swap_ = false;
};

// A four-line feedback delay network behind two diffusing all-passes. Each line
// loses 60 dB over the reverb time; a one-pole low-pass in each loop makes the
// high frequencies die away in the ratio's share of that time.
class Reverb final : public Effect {
  public:
    explicit Reverb(unsigned rate) : rate_(rate)
    {
        const double scale = rate / 44100.0;
        static constexpr std::array<int, kLines> kDelays{1433, 1601, 1867, 2053};
        static constexpr std::array<int, 2> kDiffusers{142, 379};
        for (int i = 0; i < kLines; ++i)
            lines_[i].buffer.assign(std::max(1L, std::lround(kDelays[i] * scale)), 0.0f);
        for (int i = 0; i < 2; ++i)
            diffusers_[i].buffer.assign(std::max(1L, std::lround(kDiffusers[i] * scale)), 0.0f);
        apply();
    }

    void process(float* f, std::size_t count) override
    {
        for (std::size_t i = 0; i < count; ++i) {
            const float inL = f[i * 2] * inGain_, inR = f[i * 2 + 1] * inGain_;
            float x = 0.5f * (inL + inR);
            for (auto& d : diffusers_)
                x = d.process(x);
            std::array<float, kLines> v;
            float sum = 0;
            for (int k = 0; k < kLines; ++k) {
                Line& line = lines_[k];
                line.low = line.b0 * line.buffer[line.pos] + line.a1 * line.low;
                v[k] = line.low;
                sum += v[k];
            }
            sum *= 2.0f / kLines; // Householder feedback matrix: lossless mixing
            for (int k = 0; k < kLines; ++k) {
                Line& line = lines_[k];
                line.buffer[line.pos] = (k & 1 ? -x : x) + v[k] - sum;
                if (++line.pos == line.buffer.size())
                    line.pos = 0;
            }
            f[i * 2] = inL + wet_ * 0.5f * (v[0] + v[2]);
            f[i * 2 + 1] = inR + wet_ * 0.5f * (v[1] + v[3]);
        }
    }

    void getParameters(void* record) const override { *static_cast<BASS_FXREVERB*>(record) = p_; }

    bool setParameters(const void* record) override
    {
        const auto& p = *static_cast<const BASS_FXREVERB*>(record);
        if (!InRange(p.fInGain, -96, 0) || !InRange(p.fReverbMix, -96, 0) || !InRange(p.fReverbTime, 0.001f, 3000) ||
            !InRange(p.fHighFreqRTRatio, 0.001f, 0.999f))
            return false;
        p_ = p;
        apply();
        return true;
    }

  private:
    static constexpr int kLines = 4;

    struct Line {
        std::vector<float> buffer;
        std::size_t pos = 0;
        float b0 = 0, a1 = 0, low = 0;
    };
    struct AllPass {
        std::vector<float> buffer;
        std::size_t pos = 0;
        float process(float x)
        {
            constexpr float g = 0.6f;
            const float delayed = buffer[pos];
            const float w = x + g * delayed;
            buffer[pos] = w;
            if (++pos == buffer.size())
                pos = 0;
            return delayed - g * w;
        }
    };

    void apply()
    {
        inGain_ = DbToGain(p_.fInGain);
        wet_ = DbToGain(p_.fReverbMix);
        const double seconds = p_.fReverbTime / 1000.0;
        for (Line& line : lines_) {
            // Gain per pass for -60 dB after the given time, at DC and at Nyquist.
            const double passes = double(line.buffer.size()) / rate_;
            const double low = std::pow(10.0, -3.0 * passes / seconds);
            const double high = std::pow(10.0, -3.0 * passes / (seconds * p_.fHighFreqRTRatio));
            const double a1 = low + high > 0 ? (low - high) / (low + high) : 0.0;
            line.a1 = float(a1);
            line.b0 = float(low * (1 - a1));
        }
    }

    unsigned rate_;
    BASS_FXREVERB p_{0, 0, 1000, 0.001f};
    std::array<Line, kLines> lines_;
    std::array<AllPass, 2> diffusers_;
    float inGain_ = 1, wet_ = 1;
};

} // namespace

std::unique_ptr<Effect> CreateEffect(uint32_t type, unsigned rate)
{
    switch (type) {
    case BASS_FX_PARAMEQ:
        return std::make_unique<ParamEq>(rate);
    case BASS_FX_ECHO:
        return std::make_unique<Echo>(rate);
    case BASS_FX_REVERB:
        return std::make_unique<Reverb>(rate);
    default:
        return nullptr;
    }
}

} // namespace bass
