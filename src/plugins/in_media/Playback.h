// The playback operations of the module record (host's thread).
#pragma once

#include "decoder/MediaDecoder.h"

#include "plugins/common/StreamPlayback.h"

#include <string>

namespace media {

// The decode thread and the record's transport operations.
plugin::StreamPlayback& playback();

int Play(const char* file); // 0 playing, -1 the file cannot be opened, 1 other failures
void Stop();
int GetLength();

// When file (or, for a null or empty file, nothing) names the open stream:
// true, with its description as taken at open.
bool current_stream(const char* file, Description& out);
const std::string& last_played_path();

} // namespace media
