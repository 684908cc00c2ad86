// The playback operations of the module record (host's thread).
#pragma once

#include "pcmkit.h"

#include "plugins/common/OpenStream.h"
#include "plugins/common/StreamPlayback.h"

namespace pcmkit {

// The decode thread and the record's transport operations.
plugin::StreamPlayback& playback();

int Play(const char* file); // 0 playing, -1 the file cannot be opened, 1 other failures
void Stop();
int GetLength();

struct StreamFacts {
    int32_t lengthMs = -1;
    decoder_info info{};
};
const plugin::OpenStream<StreamFacts>& open_stream();

} // namespace pcmkit
