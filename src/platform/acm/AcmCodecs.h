// The codec side of the codec manager lives in libacmcodecs.so, loaded the
// first time a stream is opened or a format is asked about: FFmpeg brings well
// over a hundred libraries with it, and a plug-in that is loaded at start but
// plays only plain PCM should not pay for them.
#pragma once

#include "msacm.h"

#include <cstddef>
#include <cstdint>

namespace acm {

struct CodecStream;

// A source format with its extensible wrapper removed.
struct SourceFormat {
    int tag = 0;
    int channels = 0;
    int rate = 0;
    int blockAlign = 0;
    int bits = 0;
    int avgBytes = 0;
    const uint8_t* extra = nullptr;
    int extraSize = 0;
};

struct Conversion {
    std::size_t srcUsed = 0;
    std::size_t dstUsed = 0;
};

struct CodecTable {
    // The PCM width the format's decoder gives; 0 when there is no decoder.
    int (*pcmBits)(const SourceFormat& source);
    // A stream decoding the source to PCM of dstBits; null when not possible.
    CodecStream* (*open)(const SourceFormat& source, int dstBits);
    void (*close)(CodecStream* stream);
    // Converts as much of src as fits dst; flags as for acmStreamConvert.
    Conversion (*convert)(CodecStream* stream, const uint8_t* src, std::size_t srcSize, uint8_t* dst,
                          std::size_t dstCapacity, DWORD flags);
    // The codec's name for the tag; false when there is no decoder.
    bool (*tagName)(int tag, char* buffer, std::size_t size);
};

// The codecs, loaded on first use; null when the library cannot be loaded
// (then every format is refused as not possible).
const CodecTable* Codecs();

} // namespace acm

// The codec library's one export.
extern "C" const acm::CodecTable* orvella_acm_codecs();
