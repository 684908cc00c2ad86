#include "AacTrack.h"

#include <algorithm>

namespace media {
namespace {

// The run that holds frame.
const AacTrack::Run& runOf(const std::vector<AacTrack::Run>& runs, std::size_t frame)
{
    const auto after = std::upper_bound(runs.begin(), runs.end(), frame,
                                        [](std::size_t f, const AacTrack::Run& run) { return f < run.firstFrame; });
    return *(after - 1); // the first run starts at frame 0
}

} // namespace

uint64_t AacTrack::startOf(std::size_t frame) const
{
    const Run& run = runOf(durations, frame);
    return run.start + uint64_t(frame - run.firstFrame) * run.delta;
}

uint32_t AacTrack::durationOf(std::size_t frame) const
{
    return runOf(durations, frame).delta;
}

std::size_t AacTrack::frameAt(uint64_t time) const
{
    const auto after = std::upper_bound(durations.begin(), durations.end(), time,
                                        [](uint64_t t, const Run& run) { return t < run.start; });
    const std::size_t index = std::size_t(after - durations.begin()) - 1;
    const Run& run = durations[index];
    const std::size_t end = index + 1 < durations.size() ? durations[index + 1].firstFrame : frameCount();
    const uint64_t within = run.delta ? (time - run.start) / run.delta : 0;
    return std::size_t(std::min<uint64_t>(run.firstFrame + within, end - 1));
}

} // namespace media
