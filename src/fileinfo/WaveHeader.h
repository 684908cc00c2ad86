// The fixed 44-byte header both WAV readers read:
//   0 "RIFF"  4 RIFF size  8 "WAVE"  12 "fmt "  16 format size  20 format tag  22 channels
//   24 sample rate  28 bytes per second  32 block align  34 bits per sample  36 next chunk id
//   40 next chunk size (in a plain file the data size)
// The display side reads only the first 40 bytes.
#pragma once

#include "ReaderFile.h"

#include <array>
#include <cstring>

namespace fileinfo {

struct WaveHeader {
    static constexpr std::size_t kSize = 44;
    std::array<unsigned char, kSize> Bytes{};

    uint32_t RiffSize() const { return LE32(&Bytes[4]); }
    uint32_t FormatSize() const { return LE32(&Bytes[16]); }
    uint16_t FormatTag() const { return LE16(&Bytes[20]); }
    uint16_t Channels() const { return LE16(&Bytes[22]); }
    uint32_t SampleRate() const { return LE32(&Bytes[24]); }
    uint32_t ByteRate() const { return LE32(&Bytes[28]); }
    uint16_t BlockAlign() const { return LE16(&Bytes[32]); }
    uint16_t BitsPerSample() const { return LE16(&Bytes[34]); }
    bool Is(std::size_t offset, const char* id) const { return std::memcmp(&Bytes[offset], id, 4) == 0; }
    bool DataFollowsFormat() const { return Is(36, "data"); }

    // "RIFF", "WAVE", "fmt " and one or two channels.
    bool Passes() const
    {
        return Is(0, "RIFF") && Is(8, "WAVE") && Is(12, "fmt ") && (Channels() == 1 || Channels() == 2);
    }
    // The size the header declares for the file (RIFF size + 8), in 32 bits.
    int32_t DeclaredFileSize() const { return static_cast<int32_t>(RiffSize() + 8u); }
};

} // namespace fileinfo
