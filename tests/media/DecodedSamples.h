// What a decoder of in_media gives, read whole (or its next frames): the
// samples the decoder tests compare.
#pragma once

#include "decoder/MediaDecoder.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <vector>

namespace mediatest {

inline std::vector<int16_t> DecodeAll(media::Decoder& decoder, int frames = INT_MAX)
{
    std::vector<int16_t> out;
    int16_t block[4096 * 2];
    const int channels = decoder.description().properties.outputChannels;
    while (frames > 0) {
        const int n = decoder.read(block, std::min(frames, 4096));
        if (n == 0)
            break;
        out.insert(out.end(), block, block + n * channels);
        frames -= n;
    }
    return out;
}

} // namespace mediatest
