// The playback operations of the module record (host's thread).
#pragma once

#include "pcmkit.h"

#include <string>

namespace pcmkit {

int Play(const char* file); // 0 playing, -1 the file cannot be opened, 1 other failures
void Pause();
void UnPause();
int IsPaused();
void Stop();
// Before the host may unload the library: waits (bounded) for the decode
// threads Stop gave up on; one that still runs keeps the library mapped.
void EndDecodeThreads();
int GetLength();
int GetOutputTime();
void SetOutputTime(int ms);
void SetVolume(int volume);
void SetPan(int pan);

// When file (or, for a null or empty file, nothing) names the open stream:
// true, with its length and information as taken at open.
bool current_stream(const char* file, int32_t* lengthMs, decoder_info* info);
const std::string& last_played_path();

} // namespace pcmkit
