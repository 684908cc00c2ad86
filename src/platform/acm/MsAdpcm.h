// Microsoft ADPCM decoded in the codec manager itself, to 16-bit PCM: its
// arithmetic is a few lines, and the codec library costs more to load than a
// whole file takes to decode.
#pragma once

#include "AcmCodecs.h"

#include <memory>
#include <vector>

namespace acm {

class MsAdpcmStream {
  public:
    // Mono and stereo streams of whole blocks to 16-bit output; null otherwise.
    static std::unique_ptr<MsAdpcmStream> Open(const SourceFormat& source, int dstBits);

    // As acmStreamConvert: whole blocks (a partial one only at the end); what
    // does not fit dst is kept for the next call.
    Conversion convert(const uint8_t* src, std::size_t srcSize, uint8_t* dst, std::size_t dstCapacity, DWORD flags);

  private:
    MsAdpcmStream(int channels, int blockAlign) : channels_(channels), blockAlign_(blockAlign) {}
    // The samples of a block of `size` bytes, all channels.
    std::size_t blockSamples(std::size_t size) const;
    // Writes the blockSamples(size) samples of one block to out; false, and
    // nothing written, for a damaged one.
    bool decodeBlock(const uint8_t* block, std::size_t size, uint8_t* out) const;

    const int channels_;
    const int blockAlign_;
    std::vector<int16_t> decoded_; // samples not yet handed over
    std::size_t handedOut_ = 0;
};

} // namespace acm
