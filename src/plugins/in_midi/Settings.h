// The plug-in's one setting, the SoundFont the user chose, kept in the host's
// ini file (section IN_MIDI), and where a SoundFont is found without one.
#pragma once

#include <string>
#include <vector>

namespace midi {

extern std::string cfg_soundfont; // the user's SoundFont; empty: a packaged one

void read_settings(const std::string& iniPath);
bool write_settings(const std::string& iniPath);

// The host program's path with its extension replaced by "ini"; in the data
// folder when the program's folder is not writable.
std::string settings_file();

// SoundFonts of the distribution's General MIDI packages, the fuller one first.
const std::vector<std::string>& packaged_soundfonts();
// Tests look elsewhere; an empty list restores the packaged one.
void override_packaged_soundfonts(const std::vector<std::string>& paths);

// The SoundFont to play with: cfg_soundfont when it is one, else the first
// packaged one there is; empty when there is none.
std::string find_soundfont();

} // namespace midi
