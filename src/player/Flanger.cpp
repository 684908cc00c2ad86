#include "Flanger.h"

namespace player {
namespace {

int16_t clampSample(int value)
{
    if (value < -32767)
        return -32768;
    if (value >= 32767)
        return 32767;
    return static_cast<int16_t>(value);
}

// The delayed sample between two ring slots, truncated toward zero.
int interpolate(int16_t a, int16_t b, float fraction)
{
    return static_cast<int>((1.0f - fraction) * static_cast<float>(a) + fraction * static_cast<float>(b));
}

} // namespace

void FlangerProcess(FlangerState& s, int16_t* frames, std::size_t count)
{
    constexpr int n = FlangerState::kFrames;
    for (std::size_t i = 0; i < count; ++i) {
        int16_t& left = frames[i * 2];
        int16_t& right = frames[i * 2 + 1];
        const int p = static_cast<int>(s.cursor);
        const int d = (p + s.writeIndex) % n;
        const int d1 = (d + 1) % n;
        const float f = s.cursor - static_cast<float>(p);
        FlangerState::Frame& slot = s.ring[s.writeIndex];

        // The delayed sample is read before this frame is stored, so p = 0 is a delay of 350 frames.
        const int delayedLeft = interpolate(s.ring[d].left, s.ring[d1].left, f);
        slot.left = left;
        left = clampSample(delayedLeft + left);
        const int delayedRight = interpolate(s.ring[d].right, s.ring[d1].right, f);
        slot.right = right;
        right = clampSample(delayedRight + right);

        s.writeIndex = s.writeIndex + 1 == n ? 0 : s.writeIndex + 1;
        s.cursor += s.step;
        if (s.cursor < 0.0f || s.cursor > static_cast<float>(n))
            s.step = -s.step;
    }
}

FlangerState& ProcessFlanger()
{
    static FlangerState state;
    return state;
}

void FlangerDsp(HDSP, DWORD, void* buffer, DWORD length, void*)
{
    FlangerProcess(ProcessFlanger(), static_cast<int16_t*>(buffer), length / 4);
}

} // namespace player
