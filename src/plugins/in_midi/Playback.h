// The playback operations of the module record (host's thread).
#pragma once

#include "SmfFile.h"

#include "plugins/common/OpenStream.h"
#include "plugins/common/StreamPlayback.h"

namespace midi {

// The decode thread and the record's transport operations.
plugin::StreamPlayback& playback();

int Play(const char* file); // 0 playing, -1 the file cannot be read, 1 other failures
void Stop();
int GetLength();
const plugin::OpenStream<SmfFile>& open_stream();

// Lets the kept synthesizer go (its SoundFont changed, or the plug-in ends).
void release_synth();

} // namespace midi
