// The host's output module of pcmkit-convert: writes every block it is given
// to a WAV file at once, so the plug-in decodes as fast as it can.
#pragma once

#include "player/plugin_api.h"

#include <cstdint>
#include <string>

namespace pcmkit_convert {

struct WavResult {
    bool opened = false;
    bool ok = true; // every write reached the file
    int rate = 0;
    int channels = 0;
    int bits = 0;
    int64_t frames = 0;
};

// The one output module; output goes to path.
TOutModule* WavOutputModule(const std::string& path);
// Finishes the file's header; call after the plug-in has closed the output.
WavResult FinishWavOutput();

} // namespace pcmkit_convert
