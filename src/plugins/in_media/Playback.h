// The playback operations of the module record (host's thread).
#pragma once

#include "decoder/MediaDecoder.h"

#include "plugins/common/OpenStream.h"
#include "plugins/common/StreamPlayback.h"

namespace media {

// The decode thread and the record's transport operations.
plugin::StreamPlayback& playback();

int Play(const char* file); // 0 playing, -1 the file cannot be opened, 1 other failures
void Stop();
int GetLength();
const plugin::OpenStream<Description>& open_stream();

} // namespace media
