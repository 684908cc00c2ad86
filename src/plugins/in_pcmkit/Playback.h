// The playback operations of the module record (host's thread).
#pragma once

#include "pcmkit.h"

#include "plugins/common/StreamPlayback.h"

#include <string>

namespace pcmkit {

// The decode thread and the record's transport operations.
plugin::StreamPlayback& playback();

int Play(const char* file); // 0 playing, -1 the file cannot be opened, 1 other failures
void Stop();
int GetLength();

// When file (or, for a null or empty file, nothing) names the open stream:
// true, with its length and information as taken at open.
bool current_stream(const char* file, int32_t* lengthMs, decoder_info* info);
const std::string& last_played_path();

} // namespace pcmkit
