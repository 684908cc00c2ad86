// The sound card of the tests and benches (alsa_clock_pcm.c): an ALSA playback
// device that takes frames in real time, one period per tick of a timer, as a
// card's interrupt would, and writes them to a file. A target that uses it is
// given the module's path as ALSA_CLOCK_PCM (orvella_use_alsa_test_card).
#pragma once

#include <string>

namespace testsupport {

// How the card misbehaves, counted in frames; -1: never.
struct AlsaTestCardFaults {
    long failAfter = -1;  // fails as if unplugged once it has taken this many
    long stallAfter = -1; // stops playing, as a hung sound server does, once it has played this many
};

// ALSA's whole configuration (for ALSA_CONFIG_PATH) with the card as the
// default device, writing the raw 16-bit frames it plays to `heard`.
inline std::string AlsaTestCardConfiguration(const std::string& heard, AlsaTestCardFaults faults = {})
{
    return std::string("pcm_type.clock { lib \"") + ALSA_CLOCK_PCM + "\" }\n" + "pcm.!default { type clock file \"" +
           heard + "\" fail_after " + std::to_string(faults.failAfter) + " stall_after " +
           std::to_string(faults.stallAfter) + " }\n";
}

} // namespace testsupport
