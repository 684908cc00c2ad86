// The module record and what the rest of the plug-in needs of the host.
#pragma once

#include "decoder/MediaDecoder.h"
#include "player/plugin_api.h"

#include <string>

namespace media {

constexpr const char* kDescription = "Orvella Media Decoder v1.0";

TInModule& plugin_module();

// The host's plug-in window: owner of the plug-in's boxes, target of PLUGIN_EOF.
inline HWND host_window()
{
    return plugin_module().MainWindow;
}

// "Artist - Title" from the tags; the fallback (the file's name) stands in
// for a missing title.
std::string display_title(const Tags& tags, const std::string& fallback);

} // namespace media
