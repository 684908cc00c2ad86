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
    // The size of the file as the RIFF size gives it (RIFF size + 8). Writers that could not go
    // back to fill the size in (a pipe) leave 0 or 0xFFFFFFFF, and a RIFF size past the end of the
    // file is no size at all: then the real size of the file counts.
    int64_t FileSize(int64_t realSize) const
    {
        uint32_t riff = RiffSize();
        int64_t declared = int64_t(riff) + 8;
        return riff == 0 || riff == 0xFFFFFFFF || declared > realSize ? realSize : declared;
    }
};

} // namespace fileinfo
