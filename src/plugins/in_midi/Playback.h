// The playback operations of the module record (host's thread).
#pragma once

#include "SmfFile.h"

#include "plugins/common/StreamPlayback.h"

#include <string>

namespace midi {

// The decode thread and the record's transport operations.
plugin::StreamPlayback& playback();

int Play(const char* file); // 0 playing, -1 the file cannot be read, 1 other failures
void Stop();
int GetLength();

// When file (or, for a null or empty file, nothing) names the open stream:
// true, with the song as parsed at Play.
bool current_song(const char* file, SmfFile& song);
const std::string& last_played_path();

// Lets the kept synthesizer go (its SoundFont changed, or the plug-in ends).
void release_synth();

} // namespace midi
