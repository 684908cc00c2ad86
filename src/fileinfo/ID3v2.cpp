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

// Encoding byte 1: UTF-16 with a byte-order mark (little-endian without one).
// Taken as single bytes, such a text would show as "ÿþW" and end at the first
// zero byte, so it is decoded to UTF-8 up to its terminating zero unit.
std::string Utf16Text(std::string_view bytes)
{
    bool bigEndian = false;
    if (bytes.size() >= 2 && uint8_t(bytes[0]) == 0xFE && uint8_t(bytes[1]) == 0xFF) {
        bigEndian = true;
        bytes.remove_prefix(2);
    } else if (bytes.size() >= 2 && uint8_t(bytes[0]) == 0xFF && uint8_t(bytes[1]) == 0xFE) {
        bytes.remove_prefix(2);
    }
    std::u16string units;
    for (std::size_t k = 0; k + 1 < bytes.size(); k += 2) {
        const auto low = uint8_t(bytes[k + (bigEndian ? 1 : 0)]), high = uint8_t(bytes[k + (bigEndian ? 0 : 1)]);
        const char16_t unit = char16_t(high << 8 | low);
        if (unit == 0)
            break;
        units.push_back(unit);
    }
    return Utf16ToUtf8(units);
}

// WXXX: the address after the description is single bytes whatever the encoding.
std::string WxxxLink(std::string_view frame)
{
    if (frame.empty() || frame[0] != 1)
        return Trim(AfterFirstZero(DropFront(frame, 1)));
    for (std::size_t k = 1; k + 1 < frame.size(); k += 2)
        if (frame[k] == 0 && frame[k + 1] == 0)
            return Trim(frame.substr(k + 2));
    return {};
}

bool IsUtf16(std::string_view frame)
{
    return !frame.empty() && frame[0] == 1;
}

// A text frame: encoding(1) text.
std::string FrameText(std::string_view frame)
{
    return IsUtf16(frame) ? Trim(Utf16Text(frame.substr(1))) : Trim(frame);
}

// The text after a description that ends with a zero: one zero byte, or in
// UTF-16 one zero unit at an even offset.
std::string TextAfterDescription(std::string_view frame, std::size_t descriptionStart)
{
    if (!IsUtf16(frame))
        return Trim(AfterFirstZero(DropFront(frame, descriptionStart)));
    for (std::size_t k = descriptionStart; k + 1 < frame.size(); k += 2)
        if (frame[k] == 0 && frame[k + 1] == 0)
            return Trim(Utf16Text(frame.substr(k + 2)));
    return {};
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
    // Trimming takes away the encoding byte 0 in front and the zero padding behind.
    title_ = FrameText(f[kTIT2]);
    artist_ = FrameText(f[kTPE1]);
    album_ = FrameText(f[kTALB]);
    track_ = static_cast<uint8_t>(TrackFromText(FrameText(f[kTRCK])));
    year_ = FrameText(f[kTYER]);
    genre_ = FrameText(f[kTCON]);
    if (std::size_t paren = genre_.rfind(')'); paren != std::string::npos)
        genre_.erase(0, paren + 1);
    // COMM: encoding(1) language(3) description, zero byte, text.
    comment_ = TextAfterDescription(f[kCOMM], 4);
    composer_ = FrameText(f[kTCOM]);
    encoder_ = FrameText(f[kTENC]);
    copyright_ = FrameText(f[kTCOP]);
    language_ = FrameText(f[kTLAN]);
    // WXXX: encoding(1) description, zero, address (always single bytes).
    link_ = WxxxLink(f[kWXXX]);
}

} // namespace fileinfo
