// The module record and what the rest of the plug-in needs of the host.
#pragma once

#include "player/plugin_api.h"

#include <string>

namespace pcmkit {

constexpr const char* kDescription = "Brevik Waveform Decoder v2.05a";

TInModule& plugin_module();

// The host's plug-in window: owner of the plug-in's boxes, target of PLUGIN_EOF.
inline HWND host_window()
{
    return plugin_module().MainWindow;
}

// The information paths show no boxes; while one of these lives on a thread,
// boxes_suppressed() is true there.
class QuietBoxes {
  public:
    QuietBoxes();
    ~QuietBoxes();
    QuietBoxes(const QuietBoxes&) = delete;
    QuietBoxes& operator=(const QuietBoxes&) = delete;
};
bool boxes_suppressed();

// Init reads (and Quit writes) this file instead of the one beside the host.
void override_settings_file(const std::string& path);

} // namespace pcmkit
