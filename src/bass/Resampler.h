// Rate conversion of float stereo frames for a channel that plays at another
// rate than the device's: a Kaiser-windowed sinc in polyphase form, cut off
// just below the lower rate's Nyquist frequency, 32 taps wide at the input
// rate (wider when it shrinks the rate, so the cut-off stays where it is).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace bass {

class Resampler {
  public:
    Resampler(unsigned inRate, unsigned outRate);

    unsigned inRate() const { return inRate_; }

    // Takes every input frame and writes at most room output frames; what does
    // not fit waits for the next call. Returns the frames written.
    std::size_t convert(const float* in, std::size_t inFrames, float* out, std::size_t room);
    // After the last input: writes what is still held (at most room frames);
    // 0 once everything has been written.
    std::size_t drain(float* out, std::size_t room);

  private:
    std::size_t produce(float* out, std::size_t room);
    void append(const float* in, std::size_t frames);

    const unsigned inRate_;
    uint64_t step_; // input frames per output frame is step_ / outUnit_
    uint64_t outUnit_;
    std::size_t taps_;
    std::size_t phases_;        // rows of filter_ (one more is stored, for interpolation)
    bool interpolate_;          // the phase falls between rows
    std::vector<float> filter_; // (phases_ + 1) rows of taps_
    // Input waiting to be filtered, one array per side; element 0 is the
    // oldest frame still needed, and the first taps_/2 frames start as zeros.
    std::vector<float> left_, right_;
    std::size_t next_ = 0;  // first frame under the filter for the next output
    uint64_t fraction_ = 0; // where the next output falls after next_, in 1/outUnit_
    uint64_t inTotal_ = 0;  // frames taken
    uint64_t outTotal_ = 0; // frames written
    bool draining_ = false;
};

} // namespace bass
