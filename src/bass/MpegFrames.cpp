#include "MpegFrames.h"

#include <array>
#include <cstring>

namespace bass {
namespace {

constexpr int kMaxLeadingTags = 8;
constexpr std::size_t kMaxLeadingZeros = 4096; // padding some taggers leave after a tag

// byte 1: 111vvllc  (sync, version: 00 2.5, 01 reserved, 10 2, 11 1; layer 00 reserved)
// byte 2: bbbbrrpx  (bit rate 1111 invalid, rate 11 reserved)
// byte 3: mm......  (channel mode: 11 mono)
bool IsMpegHeader(const uint8_t* h)
{
    return h[0] == 0xFF && (h[1] & 0xE0) == 0xE0 && ((h[1] >> 3) & 3) != 1 && ((h[1] >> 1) & 3) != 0 &&
           (h[2] >> 4) != 15 && ((h[2] >> 2) & 3) != 3;
}

} // namespace

int64_t FirstMpegFrame(InputData& data)
{
    uint64_t pos = 0;
    uint8_t tag[10];
    for (int i = 0; i < kMaxLeadingTags && data.read(pos, tag, 10) == 10 && std::memcmp(tag, "ID3", 3) == 0; ++i) {
        // A synchsafe size, seven bits a byte; a footer adds ten more bytes.
        const uint64_t size = uint64_t(tag[6] & 0x7F) << 21 | uint64_t(tag[7] & 0x7F) << 14 |
                              uint64_t(tag[8] & 0x7F) << 7 | uint64_t(tag[9] & 0x7F);
        pos += 10 + size + (tag[5] & 0x10 ? 10 : 0);
    }
    std::array<uint8_t, kMaxLeadingZeros + 4> head{};
    const long got = data.read(pos, head.data(), head.size());
    for (long i = 0; i + 4 <= got; ++i) {
        if (head[std::size_t(i)] != 0)
            return IsMpegHeader(&head[std::size_t(i)]) ? int64_t(pos) + i : -1;
    }
    return -1;
}

uint64_t HeaderFrameCount(InputData& data, uint64_t offset)
{
    uint8_t frame[4 + 32 + 18];
    if (data.read(offset, frame, sizeof frame) != long(sizeof frame) || !IsMpegHeader(frame))
        return 0;
    const auto u32be = [](const uint8_t* p) { return uint64_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]; };
    // Xing and Info follow the side information, whose size depends on version and channels:
    // "Xing" flags(4, bit 0: a frame count follows) frames(4) ...
    const bool mpeg1 = ((frame[1] >> 3) & 3) == 3, mono = (frame[3] >> 6) == 3;
    const std::size_t side = mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17);
    const uint8_t* xing = frame + 4 + side;
    if (std::memcmp(xing, "Xing", 4) == 0 || std::memcmp(xing, "Info", 4) == 0)
        return xing[7] & 1 ? u32be(xing + 8) : 0;
    // "VBRI" version(2) delay(2) quality(2) bytes(4) frames(4), always 32 bytes in.
    const uint8_t* vbri = frame + 4 + 32;
    return std::memcmp(vbri, "VBRI", 4) == 0 ? u32be(vbri + 14) : 0;
}

} // namespace bass
