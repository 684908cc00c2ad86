#include "FFTBands.h"

#include "fileinfo/Rounding.h"

#include <algorithm>

namespace player {

void UpdateBands(TBandOut& bands, const float* fft)
{
    int firstBin = 1;
    for (int band = 0; band < kBandCount; ++band) {
        float loudest = 0.0f;
        for (int bin = firstBin; bin <= kBandUpperBin[band]; ++bin)
            loudest = std::max(loudest, fft[bin]);
        firstBin = kBandUpperBin[band] + 1;

        const int64_t level = fileinfo::RoundHalfEven((band * 0.15 + 1.0) * loudest * 80.0);
        const auto now = static_cast<uint16_t>(std::clamp<int64_t>(level, 0, 65535));
        uint16_t& held = bands[band];
        if (held < now)
            held = now;
        else
            held = std::max<uint16_t>(held < 2 ? 0 : held - 2, now);
    }
}

} // namespace player
