// Where MPEG audio starts in a file, and whether it says how long it is.
#pragma once

#include "Source.h"

namespace bass {

// The offset of the first frame header: at the start, after any ID3v2 tags and
// the zero padding some taggers leave after them; -1 when no header is there.
int64_t FirstMpegFrame(InputData& data);

// The frame count that the frame at offset carries in a Xing, Info or VBRI
// header; 0 when it carries none.
uint64_t HeaderFrameCount(InputData& data, uint64_t offset);

} // namespace bass
