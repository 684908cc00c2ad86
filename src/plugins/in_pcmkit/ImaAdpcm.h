// The IMA/DVI ADPCM step shared by the IMA4, Westwood and Dialogic decoders.
#pragma once

#include <array>
#include <cstdint>

namespace pcmkit {

// 89 quantiser steps, 7 to 32767.
inline constexpr std::array<int16_t, 89> kImaSteps = {
    7,    8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,    25,   28,
    31,   34,    37,    41,    45,    50,    55,    60,    66,    73,    80,    88,    97,    107,  118,
    130,  143,   157,   173,   190,   209,   230,   253,   279,   307,   337,   371,   408,   449,  494,
    544,  598,   658,   724,   796,   876,   963,   1060,  1166,  1282,  1411,  1552,  1707,  1878, 2066,
    2272, 2499,  2749,  3024,  3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845, 8630,
    9493, 10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

// Index change by the low three bits of a code: small codes step down.
inline constexpr std::array<int8_t, 8> kImaIndexAdjust = {-1, -1, -1, -1, 2, 4, 6, 8};

struct ima_state {
    int predictor = 0; // -32768..32767
    int index = 0;     // into kImaSteps
};

inline int clamp_step_index(int index, int low = 0, int high = 88)
{
    return index < low ? low : index > high ? high : index;
}

inline int clamp_sample(int value)
{
    return value < -32768 ? -32768 : value > 32767 ? 32767 : value;
}

// The magnitude a code adds: step/8, plus step, step/2 and step/4 by its bits.
inline int ima_difference(int step, int code)
{
    int diff = step >> 3;
    if (code & 4)
        diff += step;
    if (code & 2)
        diff += step >> 1;
    if (code & 1)
        diff += step >> 2;
    return diff;
}

// One 4-bit code to one sample.
inline int16_t ima_step(ima_state& s, int code)
{
    int diff = ima_difference(kImaSteps[s.index], code);
    s.predictor = clamp_sample(code & 8 ? s.predictor - diff : s.predictor + diff);
    s.index = clamp_step_index(s.index + kImaIndexAdjust[code & 7]);
    return static_cast<int16_t>(s.predictor);
}

} // namespace pcmkit
