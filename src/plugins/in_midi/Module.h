// The module record and what the rest of the plug-in needs of the host.
#pragma once

#include "SmfFile.h"

#include "player/plugin_api.h"

#include <string>

namespace midi {

constexpr const char* kDescription = "Orvella MIDI Synthesizer v1.0";

TInModule& plugin_module();

// The host's plug-in window: owner of the plug-in's boxes, target of PLUGIN_EOF.
inline HWND host_window()
{
    return plugin_module().MainWindow;
}

// The SoundFont in use; empty when none was found, and then no file is claimed.
const std::string& current_soundfont();
// Why there is no SoundFont, for the about and settings boxes.
extern const char* const kNoSoundFontText;
// Takes the user's choice (empty: a packaged SoundFont), saves it and looks again.
void choose_soundfont(const std::string& path);

// Reads and parses a MIDI file.
SmfError LoadMidiFile(const std::string& path, SmfFile& out);

// Init reads (and the settings dialog writes) this file instead of the one beside the host.
void override_settings_file(const std::string& path);

} // namespace midi
