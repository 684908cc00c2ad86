#include "TwinVQ.h"

#include "ChannelMode.h"
#include "ReaderFile.h"
#include "TextRoutines.h"

#include <array>
#include <cmath>
#include <cstring>
#include <string_view>

namespace fileinfo {

namespace {

// Header, 32-bit big-endian values of which the low 16 bits count:
//   0 "TWIN97012000"  12 header size  16 common chunk id  20 its size  24 channel mode
//   28 bit rate (kbit/s)  32 sample rate code  36 security level
constexpr std::size_t kHeaderSize = 40;
constexpr std::string_view kMagic = "TWIN97012000";
constexpr int64_t kFirstChunk = 16;

enum Slot { kName, kComment, kAuthor, kCopyright, kFile, kSlots };
constexpr std::array<std::string_view, kSlots> kChunkIds = {"NAME", "COMT", "AUTH", "(c) ", "FILE"};

uint16_t Low16(const unsigned char* p)
{
    return static_cast<uint16_t>(BE32(p));
}

uint32_t SampleRateOf(uint16_t code)
{
    switch (code) {
    case 11:
        return 11025;
    case 22:
        return 22050;
    case 44:
        return 44100;
    default:
        return code * 1000u;
    }
}

// Chunks: id(4) size(4, big-endian, low 16 bits count) data. Ends at an id byte below 0x20, at
// "DATA", or at the end of the file.
void WalkChunks(ReaderFile& file, std::array<std::string, kSlots>& slots)
{
    if (!file.Seek(kFirstChunk))
        return;
    while (file.Position() < file.Size()) {
        unsigned char header[8];
        if (!file.ReadExact(header, sizeof header))
            return;
        for (int i = 0; i < 4; ++i)
            if (header[i] < 0x20)
                return;
        std::string_view id(reinterpret_cast<const char*>(header), 4);
        if (id == "DATA")
            return;
        std::string buffer;
        if (!ReadBoundedValue(file, Low16(header + 4), buffer))
            return;
        for (std::size_t slot = 0; slot < kSlots; ++slot)
            if (id == kChunkIds[slot])
                slots[slot] = buffer;
    }
}

} // namespace

bool TTwinVQ::Read(const std::string& fileName)
{
    ReaderFile file(fileName);
    return Read(file);
}

bool TTwinVQ::Read(ReaderFile& file)
{
    Clear();
    std::array<unsigned char, kHeaderSize> h;
    if (!file.ReadAt(0, h.data(), h.size()))
        return false;
    if (std::memcmp(h.data(), kMagic.data(), kMagic.size()) != 0)
        return true;

    uint16_t headerSize = Low16(&h[12]);
    uint16_t channelMode = Low16(&h[24]);
    uint16_t bitRate = Low16(&h[28]);
    channelCount_ = channelMode == 0 ? 1 : channelMode == 1 ? 2 : 0;
    bitRateKbps_ = static_cast<uint8_t>(bitRate);
    sampleRate_ = SampleRateOf(Low16(&h[32]));
    fileSize_ = FileSize32(file.Size());
    if (bitRate != 0)
        durationSeconds_ = std::fabs(double(fileSize_) - headerSize - 20) / 125 / bitRate;

    std::array<std::string, kSlots> slots;
    WalkChunks(file, slots);
    title_ = slots[kName];
    comment_ = slots[kComment];
    author_ = slots[kAuthor];
    copyright_ = slots[kCopyright];
    sourceFile_ = slots[kFile];
    recognised_ = true;
    return true;
}

std::string TTwinVQ::ChannelModeText() const
{
    return ChannelModeFor(channelCount_);
}

bool TTwinVQ::IsDamaged() const
{
    return recognised_ && (channelCount_ == 0 || bitRateKbps_ < 8 || bitRateKbps_ > 96 || sampleRate_ < 8000 ||
                           sampleRate_ > 44100 || durationSeconds_ < 0.1 || durationSeconds_ > 10000);
}

} // namespace fileinfo
