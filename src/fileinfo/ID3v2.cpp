#include "ID3v2.h"

#include "ReaderFile.h"
#include "TextRoutines.h"

#include <algorithm>
#include <string_view>

namespace fileinfo {

namespace {

enum FrameSlot { kTIT2, kTPE1, kTALB, kTRCK, kTYER, kTCON, kCOMM, kTCOM, kTENC, kTCOP, kTLAN, kWXXX };
// The same twelve frames in versions 2.2, 2.3 and 2.4 (where the year is part of the recording time).
struct FrameIds {
    std::string_view v22, v23, v24;
};
constexpr std::array<FrameIds, 12> kFrameIds = {{{"TT2", "TIT2", "TIT2"},
                                                 {"TP1", "TPE1", "TPE1"},
                                                 {"TAL", "TALB", "TALB"},
                                                 {"TRK", "TRCK", "TRCK"},
                                                 {"TYE", "TYER", "TDRC"},
                                                 {"TCO", "TCON", "TCON"},
                                                 {"COM", "COMM", "COMM"},
                                                 {"TCM", "TCOM", "TCOM"},
                                                 {"TEN", "TENC", "TENC"},
                                                 {"TCR", "TCOP", "TCOP"},
                                                 {"TLA", "TLAN", "TLAN"},
                                                 {"WXX", "WXXX", "WXXX"}}};

// Tag header: "ID3" major(1) revision(1) flags(1) size(4, seven bits a byte, high byte first).
//   flags: 0x80 unsynchronised, 0x40 extended header (2.3, 2.4) or compressed tag (2.2), 0x10 footer (2.4)
// Frame header 2.2: id(3) size(3, big-endian).
// Frame header 2.3: id(4) size(4, big-endian, all bits) flags(2).
// Frame header 2.4: id(4) size(4, seven bits a byte) status flags(1) format flags(1).
//   format flags: 0x40 group byte, 0x08 compressed, 0x04 encrypted, 0x02 unsynchronised, 0x01 length(4) in front
constexpr int kHeaderSize = 10;
constexpr std::size_t kFrameHeader22 = 6;
constexpr uint8_t kTagUnsynchronised = 0x80, kTagExtendedOrCompressed = 0x40, kTagFooter = 0x10;
constexpr uint8_t kFrameGrouped = 0x40, kFrameCompressed = 0x08, kFrameEncrypted = 0x04, kFrameUnsynchronised = 0x02,
                  kFrameLengthInFront = 0x01;

// Seven bits a byte as the format intends; like the tag size, the top bit of a
// byte is not masked, so a malformed size stays malformed.
int64_t SyncsafeSize(const unsigned char* p)
{
    return (int64_t(p[0]) << 21) + (int64_t(p[1]) << 14) + (int64_t(p[2]) << 7) + p[3];
}

// Bytes of the file between two positions, with unsynchronisation undone when
// asked: a zero byte that follows 0xFF was inserted by the writer and is dropped.
class TagBytes {
  public:
    TagBytes(ReaderFile& file, int64_t start, int64_t end, bool unsynchronised)
        : file_(file), position_(start), end_(end), unsynchronised_(unsynchronised)
    {
    }

    // Up to count bytes; fewer at the end of the range or of the file.
    std::size_t Read(unsigned char* out, std::size_t count)
    {
        if (!unsynchronised_) {
            const auto wanted = std::size_t(std::clamp<int64_t>(end_ - position_, 0, int64_t(count)));
            const std::size_t got = file_.Seek(position_) ? file_.Read(out, wanted) : 0;
            position_ += int64_t(got);
            return got;
        }
        std::size_t got = 0;
        while (got < count && next(out[got]))
            ++got;
        return got;
    }

    // False when the range or the file ends first.
    bool Skip(int64_t count)
    {
        if (!unsynchronised_) {
            position_ += count;
            return position_ <= end_ && position_ <= file_.Size();
        }
        unsigned char byte;
        for (; count > 0; --count)
            if (!next(byte))
                return false;
        return true;
    }

  private:
    bool next(unsigned char& byte)
    {
        for (;;) {
            if (position_ >= end_ || !file_.ReadAt(position_, &byte, 1))
                return false;
            ++position_;
            const bool inserted = afterFF_ && byte == 0;
            afterFF_ = byte == 0xFF;
            if (!inserted)
                return true;
        }
    }

    ReaderFile& file_;
    int64_t position_;
    int64_t end_;
    bool unsynchronised_;
    bool afterFF_ = false;
};

// Keeps the first 250 bytes of a value and moves past the rest, as ReadBoundedValue does.
std::string BoundedValue(TagBytes& bytes, int64_t size)
{
    std::string value(std::size_t(std::min<int64_t>(size, kValueCap)), '\0');
    value.resize(bytes.Read(reinterpret_cast<unsigned char*>(value.data()), value.size()));
    bytes.Skip(size - int64_t(value.size()));
    return value;
}

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
// Encoding 2 (2.4) is big-endian without a mark.
std::string Utf16Text(std::string_view bytes, bool bigEndian = false)
{
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

// The slot of a frame identifier in a tag of this major version, or -1.
int SlotOf(std::string_view id, uint8_t version)
{
    for (std::size_t slot = 0; slot < kFrameIds.size(); ++slot) {
        const FrameIds& ids = kFrameIds[slot];
        if (id == (version == 2 ? ids.v22 : version == 3 ? ids.v23 : ids.v24))
            return int(slot);
    }
    return -1;
}

// Text encodings of versions 2.2 and 2.4 (2.2 knows the first two).
enum Encoding : uint8_t { kLatin1 = 0, kUtf16 = 1, kUtf16BE = 2, kUtf8 = 3 };

bool IsWide(uint8_t encoding)
{
    return encoding == kUtf16 || encoding == kUtf16BE;
}

// The 250-byte cut may split the last UTF-8 character; that part is left out.
std::string_view WholeUtf8(std::string_view text)
{
    std::size_t lead = text.size();
    while (lead > 0 && text.size() - lead < 3 && (uint8_t(text[lead - 1]) & 0xC0) == 0x80)
        --lead;
    if (lead == 0)
        return text;
    const auto first = uint8_t(text[--lead]);
    const std::size_t length = (first & 0xE0) == 0xC0 ? 2 : (first & 0xF0) == 0xE0 ? 3 : (first & 0xF8) == 0xF0 ? 4 : 1;
    return text.size() - lead < length ? text.substr(0, lead) : text;
}

// One value in the given encoding, up to its terminator; the further values of
// a 2.4 list are left out, as a UTF-16 text of version 2.3 ends at its first.
// Latin-1 bytes are kept as stored.
std::string EncodedText(std::string_view bytes, uint8_t encoding)
{
    if (IsWide(encoding))
        return Trim(Utf16Text(bytes, encoding == kUtf16BE));
    const std::string_view text = bytes.substr(0, bytes.find('\0'));
    return Trim(encoding == kUtf8 ? WholeUtf8(text) : text);
}

uint8_t EncodingOf(std::string_view frame)
{
    return frame.empty() ? uint8_t(kLatin1) : uint8_t(frame[0]);
}

// A text frame: encoding(1) text.
std::string EncodedFrameText(std::string_view frame)
{
    return EncodedText(DropFront(frame, 1), EncodingOf(frame));
}

// What follows a description that starts at `start` and ends with a terminator
// of the frame's encoding; without one, as in version 2.3.
std::string_view AfterDescription(std::string_view frame, std::size_t start)
{
    if (!IsWide(EncodingOf(frame)))
        return AfterFirstZero(DropFront(frame, start));
    for (std::size_t k = start; k + 1 < frame.size(); k += 2)
        if (frame[k] == 0 && frame[k + 1] == 0)
            return frame.substr(k + 2);
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
    int64_t size = SyncsafeSize(h.data() + 6) + kHeaderSize;
    // The audio begins after a version 2.4 footer, which the size leaves out.
    if (tagVersion_ == 4 && (h[5] & kTagFooter))
        size += kHeaderSize;
    tagSize_ = size > info.FileSize ? 0 : static_cast<int32_t>(size);
    tagFound_ = true;
    if (tagSize_ == 0)
        return true;

    switch (tagVersion_) {
    case 2:
        scanFrames22(file, info);
        setEncodedFields(info);
        break;
    case 3:
        scanFrames(file, info);
        setFields(info);
        break;
    case 4:
        scanFrames24(file, info);
        setEncodedFields(info);
        break;
    default: // other versions are reported with version and size but no texts
        break;
    }
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
        if (const int slot = SlotOf(id, 3); slot >= 0)
            info.Frame[std::size_t(slot)] = text;
        position = file.Position();
    }
}

void TID3v2::scanFrames22(ReaderFile& file, TagInfo& info) const
{
    // No compression scheme was ever defined for a whole 2.2 tag.
    if (info.Header[5] & kTagExtendedOrCompressed)
        return;
    // Unsynchronisation covers the whole tag, frame headers included, and frame
    // sizes count the bytes it restores.
    TagBytes tag(file, kHeaderSize, tagSize_, info.Header[5] & kTagUnsynchronised);
    unsigned char header[kFrameHeader22];
    while (tag.Read(header, kFrameHeader22) == kFrameHeader22 && header[0] >= 'A' && header[0] <= 'Z') {
        const int64_t dataSize = int64_t(header[3]) << 16 | int64_t(header[4]) << 8 | header[5];
        std::string text = BoundedValue(tag, dataSize);
        text.resize(kValueCap, '\0');
        std::string_view id(reinterpret_cast<const char*>(header), 3);
        if (const int slot = SlotOf(id, 2); slot >= 0)
            info.Frame[std::size_t(slot)] = std::move(text);
    }
}

void TID3v2::scanFrames24(ReaderFile& file, TagInfo& info) const
{
    const bool tagUnsynchronised = info.Header[5] & kTagUnsynchronised;
    int64_t position = kHeaderSize;
    if (info.Header[5] & kTagExtendedOrCompressed) {
        // The extended header's size counts itself.
        unsigned char size[4];
        if (!file.ReadAt(position, size, 4) || SyncsafeSize(size) < 6)
            return;
        position += SyncsafeSize(size);
    }
    while (position < tagSize_ && position < info.FileSize) {
        unsigned char header[kHeaderSize];
        if (!file.ReadAt(position, header, kHeaderSize) || header[0] < 'A' || header[0] > 'Z')
            return;
        // Unsynchronisation is undone frame by frame here: sizes count the bytes as stored.
        const int64_t dataStart = position + kHeaderSize, dataEnd = dataStart + SyncsafeSize(header + 4);
        position = dataEnd;
        const uint8_t format = header[9];
        if (format & (kFrameCompressed | kFrameEncrypted))
            continue;
        TagBytes data(file, dataStart, dataEnd, tagUnsynchronised || (format & kFrameUnsynchronised));
        if (!data.Skip((format & kFrameGrouped ? 1 : 0) + (format & kFrameLengthInFront ? 4 : 0)))
            continue;
        std::string text = BoundedValue(data, dataEnd - dataStart);
        text.resize(kValueCap, '\0');
        std::string_view id(reinterpret_cast<const char*>(header), 4);
        if (const int slot = SlotOf(id, 4); slot >= 0)
            info.Frame[std::size_t(slot)] = std::move(text);
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

void TID3v2::setEncodedFields(const TagInfo& info)
{
    const auto& f = info.Frame;
    title_ = EncodedFrameText(f[kTIT2]);
    artist_ = EncodedFrameText(f[kTPE1]);
    album_ = EncodedFrameText(f[kTALB]);
    track_ = static_cast<uint8_t>(TrackFromText(EncodedFrameText(f[kTRCK])));
    year_ = EncodedFrameText(f[kTYER]);
    // A 2.4 recording time is "yyyy-MM-ddTHH:mm:ss" or any leading part of it.
    if (tagVersion_ == 4)
        year_ = WholeUtf8(std::string_view(year_).substr(0, 4));
    genre_ = EncodedFrameText(f[kTCON]);
    if (std::size_t paren = genre_.rfind(')'); paren != std::string::npos)
        genre_.erase(0, paren + 1);
    comment_ = EncodedText(AfterDescription(f[kCOMM], 4), EncodingOf(f[kCOMM]));
    composer_ = EncodedFrameText(f[kTCOM]);
    encoder_ = EncodedFrameText(f[kTENC]);
    copyright_ = EncodedFrameText(f[kTCOP]);
    language_ = EncodedFrameText(f[kTLAN]);
    link_ = EncodedText(AfterDescription(f[kWXXX], 1), kLatin1);
}

} // namespace fileinfo
