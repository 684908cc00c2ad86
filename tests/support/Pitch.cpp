#include "Pitch.h"

#include <algorithm>
#include <cmath>

namespace testsupport {

double FundamentalHz(const std::vector<int16_t>& stereo, int side, long from, long to, unsigned rate)
{
    const long frames = long(stereo.size() / 2);
    from = std::clamp(from, 0L, frames);
    to = std::clamp(to, from, frames);
    std::vector<double> x;
    for (long i = from; i < to; ++i)
        x.push_back(stereo[std::size_t(i) * 2 + std::size_t(side)]);
    const long minLag = long(rate / 2000), maxLag = long(rate / 50);
    if (long(x.size()) < 2 * maxLag)
        return 0;
    const long n = long(x.size()) - maxLag;
    // Normalised, so that a tone that swells or fades does not favour long lags.
    auto correlation = [&](long lag) {
        double sum = 0, a = 0, b = 0;
        for (long i = 0; i < n; ++i) {
            sum += x[std::size_t(i)] * x[std::size_t(i + lag)];
            a += x[std::size_t(i)] * x[std::size_t(i)];
            b += x[std::size_t(i + lag)] * x[std::size_t(i + lag)];
        }
        return a > 0 && b > 0 ? sum / std::sqrt(a * b) : 0.0;
    };
    // The first lag whose correlation comes close to the best one is the period
    // (later peaks are its multiples).
    std::vector<double> r(std::size_t(maxLag + 2));
    double best = 0;
    for (long lag = minLag; lag <= maxLag + 1; ++lag)
        best = std::max(best, r[std::size_t(lag)] = correlation(lag));
    if (best < 0.5)
        return 0;
    for (long lag = minLag + 1; lag <= maxLag; ++lag) {
        const double here = r[std::size_t(lag)];
        if (here >= 0.85 * best && here >= r[std::size_t(lag - 1)] && here >= r[std::size_t(lag + 1)]) {
            // A parabola through the peak and its neighbours places it between samples.
            const double a = r[std::size_t(lag - 1)], c = r[std::size_t(lag + 1)];
            const double shift = (a - c) / (2 * (a - 2 * here + c));
            return rate / (double(lag) + (std::isfinite(shift) ? shift : 0));
        }
    }
    return 0;
}

} // namespace testsupport
