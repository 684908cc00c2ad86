#include "AacTrack.h"

#include <cstring>

namespace media {
namespace {

constexpr uint32_t kMaxFrames = 1 << 24; // over 100 hours at 44.1 kHz
constexpr uint32_t kFrameLength = 1024;  // samples of a frame with one raw data block

const uint32_t kRates[] = {96000, 88200, 64000, 48000, 44100, 32000, 24000, 22050, 16000, 12000, 11025, 8000, 7350};

// One ADTS frame header, as far as this reader needs it.
struct Header {
    int profile = 0;    // the object type less one
    int rateIndex = 0;  // into kRates
    int channels = 0;   // the channel configuration
    int headerSize = 0; // 7, or 9 with a checksum
    uint32_t frameSize = 0;
    int rawBlocks = 0; // less one
};

bool readHeader(const uint8_t* b, Header& h)
{
    // The sync word, MPEG-4 or -2, layer 0 (MPEG audio frames have 1 to 3).
    // The header is 7 bytes; with a checksum, 2 more that this reader skips.
    if (b[0] != 0xff || (b[1] & 0xf6) != 0xf0)
        return false;
    h.headerSize = (b[1] & 1) ? 7 : 9;
    h.profile = b[2] >> 6;
    h.rateIndex = (b[2] >> 2) & 0xf;
    h.channels = (b[2] & 1) << 2 | b[3] >> 6;
    h.frameSize = uint32_t(b[3] & 3) << 11 | uint32_t(b[4]) << 3 | b[5] >> 5;
    h.rawBlocks = b[6] & 3;
    return h.rateIndex < int(std::size(kRates)) && h.frameSize > uint32_t(h.headerSize);
}

// Tags the FFmpeg decoders read and this reader does not: ID3v2 at the
// start, ID3v1 or APE at the end.
bool hasTags(bass::InputData& data)
{
    uint8_t start[3] = {}, end[128] = {}, footer[32] = {};
    if (data.read(0, start, 3) == 3 && std::memcmp(start, "ID3", 3) == 0)
        return true;
    const uint64_t size = data.size();
    return (size >= 128 && data.read(size - 128, end, 128) == 128 && std::memcmp(end, "TAG", 3) == 0) ||
           (size >= 32 && data.read(size - 32, footer, 32) == 32 && std::memcmp(footer, "APETAGEX", 8) == 0);
}

} // namespace

bool ReadAdtsTrack(bass::InputData& data, AacTrack& out, std::string& why)
{
    out = AacTrack{};
    if (hasTags(data)) {
        why = "The ADTS file has tags; the general decoders read them.";
        return false;
    }
    Header first;
    uint8_t bytes[7];
    if (data.read(0, bytes, sizeof bytes) != long(sizeof bytes) || !readHeader(bytes, first)) {
        why = "The file is none of the formats this plug-in plays.";
        return false;
    }
    if (first.channels != 1 && first.channels != 2) {
        why = "The AAC stream has more than two channels.";
        return false;
    }
    if (first.rawBlocks != 0) {
        why = "The ADTS frames hold more than one block each.";
        return false;
    }
    // Frames of one kind, one after another, as far as they go whole.
    uint64_t at = 0;
    while (out.sizes.size() < kMaxFrames) {
        Header h;
        if (data.read(at, bytes, sizeof bytes) != long(sizeof bytes) || !readHeader(bytes, h) ||
            h.profile != first.profile || h.rateIndex != first.rateIndex || h.channels != first.channels ||
            h.rawBlocks != 0 || h.frameSize > data.size() - at)
            break;
        out.offsets.push_back(at + uint64_t(h.headerSize));
        out.sizes.push_back(h.frameSize - uint32_t(h.headerSize));
        at += h.frameSize;
    }
    if (out.sizes.size() < 2) {
        why = "The ADTS file holds no whole frame of sound.";
        return false;
    }
    // The decoder reads the frames without their headers, configured as an
    // MP4 file would configure it.
    const int objectType = first.profile + 1;
    out.decoderConfig = {uint8_t(objectType << 3 | first.rateIndex >> 1),
                         uint8_t((first.rateIndex & 1) << 7 | first.channels << 3)};
    out.container = "raw ADTS AAC (Advanced Audio Coding)";
    out.channels = first.channels;
    out.timescale = kRates[first.rateIndex];
    out.durations.push_back({0, 0, kFrameLength});
    // The first frame only starts the decoder's overlap: encoders put their
    // delay there, and ADTS has no way to say more.
    out.skip = kFrameLength;
    out.length = uint64_t(out.sizes.size() - 1) * kFrameLength;
    return true;
}

} // namespace media
