// The bytes a decoder library reads: the engine's input over a file or a
// caller's memory block.
#pragma once

#include "MediaDecoder.h"

#include "bass/Source.h"

#include <memory>
#include <string>

namespace media {

// Null, with why, when the file cannot be opened.
std::unique_ptr<bass::InputData> OpenInput(const MediaInput& in, std::string& why);

} // namespace media
