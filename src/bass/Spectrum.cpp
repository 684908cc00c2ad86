#include "Spectrum.h"
#include "LoadedLibrary.h"

#include <fftw3.h>

#include <array>
#include <cmath>
#include <numbers>

namespace bass {
namespace {

#define ORVELLA_FFTW_FUNCTIONS(F)                                                                                      \
    F(fftwf_alloc_real)                                                                                                \
    F(fftwf_alloc_complex)                                                                                             \
    F(fftwf_plan_dft_r2c_1d)                                                                                           \
    F(fftwf_execute)

// The FFTW functions used here, bound by name.
struct Fftw {
    ORVELLA_FFTW_FUNCTIONS(ORVELLA_FUNCTION_POINTER)
};

// The one plan of the process with its buffers; null when FFTW is missing.
struct Transform {
    float* in = nullptr;
    fftwf_complex* bins = nullptr;
    fftwf_plan plan = nullptr;
    const Fftw* fftw = nullptr;
};

const Transform* LoadTransform()
{
    static const Transform loaded = [] {
        Transform t;
        void* library = dlopen("libfftw3f.so.3", RTLD_NOW | RTLD_LOCAL);
        if (!library)
            return t;
        static Fftw fftw;
        bool complete = true;
#define ORVELLA_BIND(name) complete = BindFunction(library, fftw.name, #name) && complete;
        ORVELLA_FFTW_FUNCTIONS(ORVELLA_BIND)
#undef ORVELLA_BIND
        if (!complete)
            return t;
        t.in = fftw.fftwf_alloc_real(kSpectrumSamples);
        t.bins = fftw.fftwf_alloc_complex(kSpectrumSamples / 2 + 1);
        if (t.in && t.bins)
            t.plan = fftw.fftwf_plan_dft_r2c_1d(int(kSpectrumSamples), t.in, t.bins, FFTW_ESTIMATE);
        if (t.plan)
            t.fftw = &fftw;
        return t;
    }();
    return loaded.fftw ? &loaded : nullptr;
}

} // namespace

bool SpectrumMagnitudes(const float* samples, float* out)
{
    const Transform* t = LoadTransform();
    if (!t)
        return false;
    static const std::array<float, kSpectrumSamples> hann = [] {
        std::array<float, kSpectrumSamples> w;
        for (std::size_t n = 0; n < kSpectrumSamples; ++n)
            w[n] = 0.5f - 0.5f * std::cos(2.0f * std::numbers::pi_v<float> * float(n) / kSpectrumSamples);
        return w;
    }();
    for (std::size_t n = 0; n < kSpectrumSamples; ++n)
        t->in[n] = samples[n] * hann[n];
    t->fftw->fftwf_execute(t->plan);
    // A Hann window keeps half the energy: a sine of amplitude A peaks at A x N / 4.
    constexpr float scale = 4.0f / kSpectrumSamples;
    for (std::size_t k = 0; k < kSpectrumSamples / 2; ++k) {
        // The magnitude as hypotf gives it: the squares summed in double, the root rounded to float.
        const double re = t->bins[k][0], im = t->bins[k][1];
        out[k] = float(std::sqrt(re * re + im * im)) * scale;
    }
    return true;
}

} // namespace bass
