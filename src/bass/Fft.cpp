#include "Fft.h"

#include <cmath>
#include <complex>
#include <numbers>
#include <utility>
#include <vector>

namespace bass {

void FftMagnitudes(const float* samples, std::size_t n, float* magnitudes)
{
    std::vector<std::complex<double>> x(n);
    // In bit-reversed order, so the butterflies work in place.
    for (std::size_t i = 0, j = 0; i < n; ++i) {
        x[j] = samples[i];
        std::size_t bit = n >> 1;
        for (; bit && (j & bit); bit >>= 1)
            j ^= bit;
        j |= bit;
    }
    for (std::size_t half = 1; half < n; half *= 2) {
        const double angle = -std::numbers::pi / double(half);
        for (std::size_t k = 0; k < half; ++k) {
            const std::complex<double> twiddle = std::polar(1.0, angle * double(k));
            for (std::size_t start = 0; start < n; start += 2 * half) {
                const std::complex<double> odd = x[start + k + half] * twiddle;
                x[start + k + half] = x[start + k] - odd;
                x[start + k] += odd;
            }
        }
    }
    for (std::size_t k = 0; k < n / 2; ++k)
        magnitudes[k] = float(std::abs(x[k]));
}

} // namespace bass
