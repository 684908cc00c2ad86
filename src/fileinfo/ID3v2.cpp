#include "ID3v2.h"

#include "ReaderFile.h"
#include "TextRoutines.h"

#include <algorithm>
#include <string_view>

namespace fileinfo {

namespace {

enum FrameSlot { kTIT2, kTPE1, kTALB, kTRCK, kTYER, kTCON, kCOMM, kTCOM, kTENC, kTCOP, kTLAN, kWXXX };
constexpr std::array<std::string_view, 12> kFrameIds = {"TIT2", "TPE1", "TALB", "TRCK", "TYER", "TCON",
                                                        "COMM", "TCOM", "TENC", "TCOP", "TLAN", "WXXX"};

// Tag header: "ID3" major(1) revision(1) flags(1) size(4, seven bits a byte, high byte first).
// Frame header (2.3): id(4) size(4, big-endian, all bits) flags(2).
constexpr int kHeaderSize = 10;

// Removes everything up to and including the first zero byte, when there is one.
std::string_view AfterFirstZero(std::string_view text)
{
    std::size_t zero = text.find('\0');
    return zero == std::string_view::npos ? text : text.substr(zero + 1);
}

std::string_view DropFront(std::string_view text, std::size_t count)
{
    return text.substr(std::min(count, text.size()));
}

} // namespace

bool TID3v2::Read(const std::string& fileName)
{
    ReaderFile file(fileName);
    return Read(file);
}

bool TID3v2::Read(ReaderFile& file)
{
    Clear();
    TagInfo info;
    if (!file.ReadAt(0, info.Header.data(), kHeaderSize))
        return false;
    info.FileSize = file.Size();
    const auto& h = info.Header;
    if (h[0] != 'I' || h[1] != 'D' || h[2] != '3')
        return true;

    tagVersion_ = h[3];
    // The top bit of each size byte is not masked, so a malformed size stays malformed
    // (and is then usually larger than the file).
    int64_t size = (int64_t(h[6]) << 21) + (int64_t(h[7]) << 14) + (int64_t(h[8]) << 7) + h[9] + kHeaderSize;
    tagSize_ = size > info.FileSize ? 0 : static_cast<int32_t>(size);
    tagFound_ = true;
    if (tagVersion_ != 3 || tagSize_ == 0)
        return true;

    scanFrames(file, info);
    setFields(info);
    return true;
}

void TID3v2::scanFrames(ReaderFile& file, TagInfo& info) const
{
    int64_t position = kHeaderSize;
    while (position < tagSize_ && position < info.FileSize) {
        unsigned char header[kHeaderSize];
        if (!file.ReadAt(position, header, kHeaderSize))
            return;
        // Zero padding after the last frame, or an extended header, ends the frames.
        if (header[0] < 'A' || header[0] > 'Z')
            return;
        // A size with the top bit set would be negative: such a frame ends the scan.
        auto dataSize = static_cast<int32_t>(BE32(header + 4));
        std::string text;
        if (!ReadBoundedValue(file, dataSize, text))
            return;
        // The raw text is the whole zero-filled 250-byte buffer: a comment without a zero byte
        // after its language loses everything up to the padding.
        text.resize(kValueCap, '\0');
        std::string_view id(reinterpret_cast<const char*>(header), 4);
        for (std::size_t slot = 0; slot < kFrameIds.size(); ++slot)
            if (id == kFrameIds[slot])
                info.Frame[slot] = text;
        position = file.Position();
    }
}

void TID3v2::setFields(const TagInfo& info)
{
    const auto& f = info.Frame;
    // Trimming takes away the encoding byte (0 or 1) in front and the zero padding behind.
    title_ = Trim(f[kTIT2]);
    artist_ = Trim(f[kTPE1]);
    album_ = Trim(f[kTALB]);
    track_ = static_cast<uint8_t>(TrackFromText(f[kTRCK]));
    year_ = Trim(f[kTYER]);
    genre_ = Trim(f[kTCON]);
    if (std::size_t paren = genre_.rfind(')'); paren != std::string::npos)
        genre_.erase(0, paren + 1);
    // COMM: encoding(1) language(3) description, zero byte, text.
    comment_ = Trim(AfterFirstZero(DropFront(f[kCOMM], 4)));
    composer_ = Trim(f[kTCOM]);
    encoder_ = Trim(f[kTENC]);
    copyright_ = Trim(f[kTCOP]);
    language_ = Trim(f[kTLAN]);
    // WXXX: encoding(1) description, zero byte, address.
    link_ = Trim(AfterFirstZero(DropFront(f[kWXXX], 1)));
}

} // namespace fileinfo
