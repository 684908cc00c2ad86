// The flanger: a sweeping short delay mixed into 16-bit stereo frames. It runs
// as a DSP procedure on the engine's mixing thread, so it works in place on a
// fixed state and allocates nothing.
#pragma once

#include "bass/bass.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace player {

struct FlangerState {
    static constexpr int kFrames = 350;
    struct Frame {
        int16_t left;
        int16_t right;
    };
    std::array<Frame, kFrames> ring{};
    int writeIndex = 0;
    float cursor = 175.0f; // delay offset in frames, swept between 0 and 350
    float step = 0.002f;

    void Reset() { *this = FlangerState(); }
};

// Runs the flanger over count interleaved stereo frames.
void FlangerProcess(FlangerState& state, int16_t* frames, std::size_t count);

// The DSP procedure: one state for the whole process (one channel plays at a
// time); only the mixing thread touches it while the procedure is set.
FlangerState& ProcessFlanger();
void FlangerDsp(HDSP handle, DWORD channel, void* buffer, DWORD length, void* user);

} // namespace player
