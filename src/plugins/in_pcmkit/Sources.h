// Byte sources: local files, memory blocks, downloads through the host, the
// optional network library's sources, and the sub-range wrapper.
#pragma once

#include "pcmkit.h"

namespace pcmkit {

// A new, unopened source for a name: the network library's when it claims the
// name, a download source for "http:", "https:" and "ftp:", else a file source.
byte_source* create_source_for_name(const char* name);
byte_source* create_file_source();
byte_source* create_download_source();
// Takes over buffer (malloc'd, may be null when size is 0).
byte_source* create_memory_source(uint8_t* buffer, int64_t size);

// Replaces the context's source by a memory source holding all of it.
bool load_into_memory(open_context& ctx);
// Narrows the context's source to [start, start + size); on failure the
// source is left as it was.
bool narrow_source(open_context& ctx, int64_t start, int64_t size);

// The optional network library beside the plug-in: loaded at Init, freed at Quit.
void load_network_library();
void unload_network_library();

} // namespace pcmkit
