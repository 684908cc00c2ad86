// The spectrum's transform against the definition of the DFT.

#include "bass/Fft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <random>
#include <vector>

TEST(Fft, MagnitudesAreThoseOfTheDiscreteFourierTransform)
{
    std::mt19937 random(5);
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    for (std::size_t n : {2u, 8u, 512u}) {
        SCOPED_TRACE(n);
        std::vector<float> samples(n);
        for (float& s : samples)
            s = value(random);
        std::vector<float> magnitudes(n / 2);
        bass::FftMagnitudes(samples.data(), n, magnitudes.data());
        for (std::size_t k = 0; k < n / 2; ++k) {
            std::complex<double> sum = 0;
            for (std::size_t i = 0; i < n; ++i)
                sum += double(samples[i]) * std::polar(1.0, -2 * std::numbers::pi * double(k * i) / double(n));
            EXPECT_NEAR(magnitudes[k], std::abs(sum), 1e-4 * std::sqrt(double(n))) << "bin " << k;
        }
    }
}
