// The channel effects: parametric equalizer band, echo and reverb. They work on
// interleaved stereo float frames at the output rate, on the mixing thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace bass {

class Effect {
  public:
    virtual ~Effect() = default;
    virtual void process(float* frames, std::size_t count) = 0;
    virtual void getParameters(void* record) const = 0;
    // false when a value is out of range; nothing is changed then.
    virtual bool setParameters(const void* record) = 0;
};

// null for an unknown type. The effect starts with its default parameters.
std::unique_ptr<Effect> CreateEffect(uint32_t type, unsigned rate);

} // namespace bass
