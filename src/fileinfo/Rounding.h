// Rounding as the readers' formulas state it.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace fileinfo {

// To the nearest integer, halves to even. Values beyond the 64-bit range saturate and NaN gives
// 0, so hostile numbers from a file never reach an undefined conversion.
inline int64_t RoundHalfEven(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= 0x1p63)
        return std::numeric_limits<int64_t>::max();
    if (value < -0x1p63)
        return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(std::nearbyint(value)); // the default rounding mode is to nearest even
}

} // namespace fileinfo
