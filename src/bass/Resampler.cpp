#include "Resampler.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <numeric>

namespace bass {
namespace {

constexpr double kCutoff = 0.97;    // of the lower rate's Nyquist frequency
constexpr double kKaiserBeta = 9.0; // stop band about 90 dB down
constexpr std::size_t kTapsAtUnity = 32;
constexpr std::size_t kMaxPhases = 1024; // beyond this the phase is interpolated between rows
constexpr std::size_t kLanes = 8;        // rows are padded to this, for the vector unit

// Modified Bessel function of the first kind, order 0 (the Kaiser window's shape).
double BesselI0(double x)
{
    double sum = 1, term = 1;
    for (int k = 1; k < 64 && term > sum * 1e-12; ++k) {
        const double half = x / (2.0 * k);
        term *= half * half;
        sum += term;
    }
    return sum;
}

// Eight partial sums, so the compiler keeps them in one vector register.
inline float Dot(const float* a, const float* b, std::size_t n)
{
    float lanes[kLanes] = {};
    for (std::size_t i = 0; i < n; i += kLanes)
        for (std::size_t k = 0; k < kLanes; ++k)
            lanes[k] += a[i + k] * b[i + k];
    float sum = 0;
    for (float lane : lanes)
        sum += lane;
    return sum;
}

} // namespace

Resampler::Resampler(unsigned inRate, unsigned outRate) : inRate_(inRate)
{
    const unsigned common = std::gcd(inRate, outRate);
    step_ = inRate / common;
    outUnit_ = outRate / common;
    interpolate_ = outUnit_ > kMaxPhases;
    phases_ = interpolate_ ? kMaxPhases : std::size_t(outUnit_);

    // Shrinking the rate stretches the filter, so its cut-off follows the output's Nyquist frequency.
    const double factor = std::min(double(outRate) * kCutoff / inRate, 1.0);
    const std::size_t taps = std::max<std::size_t>(std::size_t(std::ceil(double(kTapsAtUnity) / factor)), 1);
    taps_ = (taps + kLanes - 1) / kLanes * kLanes;
    const double center = double((taps - 1) / 2);
    filter_.assign((phases_ + 1) * taps_, 0.0f);
    std::vector<double> row(taps);
    for (std::size_t phase = 0; phase <= phases_; ++phase) {
        double sum = 0;
        for (std::size_t j = 0; j < taps; ++j) {
            const double distance = double(j) - center - double(phase) / double(phases_);
            const double x = distance * factor * std::numbers::pi;
            const double w = 2.0 * distance / double(taps);
            row[j] = (x == 0 ? 1.0 : std::sin(x) / x) * BesselI0(kKaiserBeta * std::sqrt(std::max(1.0 - w * w, 0.0)));
            sum += row[j];
        }
        for (std::size_t j = 0; j < taps; ++j) // unity gain at every phase
            filter_[phase * taps_ + j] = float(row[j] / sum);
    }
    // The first output sits on the first input frame: the taps before it see silence.
    left_.assign(std::size_t(center), 0.0f);
    right_.assign(std::size_t(center), 0.0f);
}

std::size_t Resampler::convert(const float* in, std::size_t inFrames, float* out, std::size_t room)
{
    inTotal_ += inFrames;
    append(in, inFrames);
    return produce(out, room);
}

std::size_t Resampler::drain(float* out, std::size_t room)
{
    if (!draining_) {
        draining_ = true;
        const std::vector<float> silence(taps_ * 2, 0.0f); // under the filter past the last frame
        append(silence.data(), taps_);
    }
    return produce(out, room);
}

void Resampler::append(const float* in, std::size_t frames)
{
    const std::size_t at = left_.size();
    left_.resize(at + frames);
    right_.resize(at + frames);
    for (std::size_t i = 0; i < frames; ++i) {
        left_[at + i] = in[i * 2];
        right_[at + i] = in[i * 2 + 1];
    }
}

std::size_t Resampler::produce(float* out, std::size_t room)
{
    // The output ends where the input ended: ceil(frames in x the rate ratio).
    const uint64_t last = (inTotal_ * outUnit_ + step_ - 1) / step_;
    std::size_t made = 0;
    while (made < room && next_ + taps_ <= left_.size() && !(draining_ && outTotal_ >= last)) {
        const float* l = left_.data() + next_;
        const float* r = right_.data() + next_;
        float outL, outR;
        if (!interpolate_) {
            const float* h = filter_.data() + fraction_ * taps_;
            outL = Dot(h, l, taps_);
            outR = Dot(h, r, taps_);
        } else {
            const uint64_t scaled = fraction_ * phases_;
            const std::size_t row = std::size_t(scaled / outUnit_);
            const float weight = float(scaled % outUnit_) / float(outUnit_);
            const float* h0 = filter_.data() + row * taps_;
            const float* h1 = h0 + taps_;
            const float l0 = Dot(h0, l, taps_), r0 = Dot(h0, r, taps_);
            outL = l0 + (Dot(h1, l, taps_) - l0) * weight;
            outR = r0 + (Dot(h1, r, taps_) - r0) * weight;
        }
        out[made * 2] = outL;
        out[made * 2 + 1] = outR;
        ++made;
        ++outTotal_;
        fraction_ += step_;
        next_ += std::size_t(fraction_ / outUnit_);
        fraction_ %= outUnit_;
    }
    // Forget the frames no output needs any more.
    const std::size_t done = std::min(next_, left_.size());
    left_.erase(left_.begin(), left_.begin() + std::ptrdiff_t(done));
    right_.erase(right_.begin(), right_.begin() + std::ptrdiff_t(done));
    next_ -= done;
    return made;
}

} // namespace bass
