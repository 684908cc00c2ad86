// The channel's rate converter: timing, length, pass band and stop band.

#include "bass/Resampler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace {

std::vector<float> StereoSine(unsigned rate, double hz, std::size_t frames, float amplitude = 0.5f)
{
    std::vector<float> out(frames * 2);
    for (std::size_t i = 0; i < frames; ++i)
        out[i * 2] = out[i * 2 + 1] = amplitude * float(std::sin(2 * std::numbers::pi * hz * double(i) / rate));
    return out;
}

// Feeds in blocks of block frames with at most room frames out per call, then drains.
std::vector<float> Convert(bass::Resampler& r, const std::vector<float>& in, std::size_t block, std::size_t room)
{
    std::vector<float> out, part(room * 2);
    for (std::size_t at = 0; at < in.size() / 2; at += block) {
        const std::size_t n = std::min(block, in.size() / 2 - at);
        std::size_t made = r.convert(in.data() + at * 2, n, part.data(), room);
        out.insert(out.end(), part.begin(), part.begin() + std::ptrdiff_t(made * 2));
        // What did not fit comes out with the next call, even one with no input.
        while ((made = r.convert(nullptr, 0, part.data(), room)) > 0)
            out.insert(out.end(), part.begin(), part.begin() + std::ptrdiff_t(made * 2));
    }
    std::size_t made;
    while ((made = r.drain(part.data(), room)) > 0)
        out.insert(out.end(), part.begin(), part.begin() + std::ptrdiff_t(made * 2));
    return out;
}

// Amplitude of hz in one side, from a Hann-windowed correlation.
double Amplitude(const std::vector<float>& stereo, unsigned rate, double hz, std::size_t from, std::size_t to)
{
    double re = 0, im = 0, weight = 0;
    for (std::size_t i = from; i < to; ++i) {
        const double w = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * double(i - from) / double(to - from - 1));
        const double a = 2 * std::numbers::pi * hz * double(i) / rate;
        re += w * stereo[i * 2] * std::cos(a);
        im += w * stereo[i * 2] * std::sin(a);
        weight += w;
    }
    return 2 * std::hypot(re, im) / weight;
}

double Db(double ratio)
{
    return 20 * std::log10(ratio);
}

TEST(Resampler, KeepsTimeAndLengthWhateverTheBlocks)
{
    for (const auto& [in, out] :
         {std::pair{48000u, 44100u}, std::pair{22050u, 44100u}, std::pair{44100u, 44101u}, std::pair{96000u, 8000u}}) {
        SCOPED_TRACE(std::to_string(in) + " -> " + std::to_string(out));
        const std::size_t frames = in + 123;
        const std::vector<float> input = StereoSine(in, 440, frames);
        bass::Resampler whole(in, out);
        const std::vector<float> reference = Convert(whole, input, frames, 1 << 20);
        // The output ends where the input does.
        EXPECT_EQ(reference.size() / 2, (uint64_t(frames) * out + in - 1) / in);
        bass::Resampler pieces(in, out);
        EXPECT_EQ(Convert(pieces, input, 37, 5), reference);
        // Output frame k is the input's signal at time k / out: no delay.
        double worst = 0;
        for (std::size_t k = out / 10; k < reference.size() / 2 - out / 10; ++k)
            worst = std::max(worst, std::abs(reference[k * 2] - 0.5 * std::sin(2 * std::numbers::pi * 440 * k / out)));
        EXPECT_LT(worst, 2e-3);
    }
}

TEST(Resampler, PassesTheAudibleBandAndStopsWhatWouldFoldBack)
{
    const struct {
        unsigned in, out;
        double hz;
        double minDb, maxDb; // level of what comes out at hz, or at its alias
    } cases[] = {
        {48000, 44100, 1000, -0.01, 0.01}, {48000, 44100, 18000, -0.2, 0.01}, {44100, 48000, 15000, -0.1, 0.01},
        {22050, 44100, 8000, -0.2, 0.01},  {48000, 44100, 23000, -200, -19}, // folds to 21100 Hz
        {96000, 44100, 30000, -200, -90},                                    // folds to 14100 Hz
        {44100, 22050, 12000, -200, -35},                                    // folds to 10050 Hz
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.in) + " -> " + std::to_string(c.out) + " at " + std::to_string(c.hz));
        bass::Resampler r(c.in, c.out);
        const std::vector<float> out = Convert(r, StereoSine(c.in, c.hz, c.in), 4096, 4096);
        const double heardAt = c.hz < c.out / 2.0 ? c.hz : c.out - c.hz;
        const double level = Db(Amplitude(out, c.out, heardAt, c.out / 10, out.size() / 2 - c.out / 10) / 0.5);
        EXPECT_GE(level, c.minDb);
        EXPECT_LE(level, c.maxDb);
    }
}

} // namespace
