// Recognising a file and building the decoder that plays it.
#pragma once

#include "pcmkit.h"

namespace pcmkit {

enum file_type {
    TYPE_UNKNOWN = 0,
    TYPE_RIFF = 1,
    TYPE_VOC = 2,
    TYPE_AU = 3,
    TYPE_IFF = 4,
    TYPE_AUD = 5,
    TYPE_VOX = 10
};

file_type detect_type(const char* name, byte_source* source, const abort_flag* abort);

decoder* open_riff(open_context& ctx);
decoder* open_iff(open_context& ctx);
decoder* open_au(open_context& ctx);
decoder* open_voc(open_context& ctx);
decoder* open_aud(open_context& ctx);
decoder* open_vox(open_context& ctx);

enum open_result { OPEN_OK = 0, OPEN_FAILED = 1, OPEN_NO_SOURCE = 2 };

// The whole open: source, detection, parser, conversion filters, messages.
// Information mode shows no boxes, builds no filters and no codec stream.
decoder* open_file(const char* name, bool infoMode, const abort_flag* abort, open_result* result);
// The same from detection on, over an opened source (which it takes over).
decoder* open_source(const char* name, byte_source* source, bool infoMode, const abort_flag* abort,
                     open_result* result);

// The open's message boxes, owned by the host's window.
void show_error(const char* text);

} // namespace pcmkit
