#include "WMAfile.h"

#include "ChannelMode.h"
#include "ReaderFile.h"
#include "TextRoutines.h"

#include <array>
#include <cstring>
#include <string_view>

namespace fileinfo {

namespace {

using Guid = std::array<unsigned char, 16>;

// Object identifiers as stored in the file.
constexpr Guid kHeaderObject = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr Guid kFilePropertiesObject = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                        0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
constexpr Guid kStreamPropertiesObject = {0x91, 0x07, 0xDC, 0xB7, 0xB7, 0xA9, 0xCF, 0x11,
                                          0x8E, 0xE6, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
constexpr Guid kContentDescriptionObject = {0x33, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                            0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr Guid kExtendedContentDescriptionObject = {0x40, 0xA4, 0xD0, 0xD2, 0x07, 0xE3, 0xD2, 0x11,
                                                    0x97, 0xF0, 0x00, 0xA0, 0xC9, 0x5E, 0xA8, 0x50};

// Offsets from the start of an object.
constexpr int64_t kPlayDuration = 64;       // file properties: play(8, 100 ns) send(8) preroll(8, ms) flags(4)
constexpr int64_t kMaxBitRate = 100;        // file properties, 32-bit
constexpr int64_t kChannels = 80;           // stream properties: channels(2) rate(4) bytes/s(4)
constexpr int64_t kDescriptionLengths = 24; // content description: five 16-bit lengths
constexpr int64_t kDescriptorCount = 24;    // extended content description
constexpr int64_t kObjectCount = 24;        // header: id(16) size(8) count(4) reserved(2)
constexpr int64_t kFirstObject = 30;

enum Slot { kTitle, kArtist, kAlbum, kTrack, kYear, kGenre, kComment, kSlots };
constexpr std::array<std::string_view, kSlots> kExtendedNames = {"WM/TITLE", "WM/AUTHOR", "WM/ALBUMTITLE", "WM/TRACK",
                                                                 "WM/YEAR",  "WM/GENRE",  "WM/DESCRIPTION"};
constexpr uint16_t kStringValue = 0;

// The most any audio stream carries: uncompressed 24-bit stereo at 96 kHz.
constexpr uint32_t kMostBytesPerSecond = 96000 * 2 * 3;
constexpr uint32_t kBroadcastFlag = 1; // file properties flags: the durations are not filled in

struct FileData {
    int64_t FileSize = 0;
    uint64_t PlayDuration = 0; // 100-ns units, preroll included
    uint64_t PrerollMs = 0;
    uint32_t Flags = 0;
    uint32_t MaxBitRate = 0;
    uint16_t Channels = 0;
    uint32_t SampleRate = 0;
    uint32_t ByteRate = 0;
    std::array<std::u16string, kSlots> TagData;
};

// A string of n bytes: at most 250 UTF-16 units are kept, the rest is passed over.
bool ReadFieldString(ReaderFile& file, uint32_t n, std::u16string& text)
{
    std::size_t units = n < 502 ? n / 2 : 250;
    std::array<unsigned char, 500> bytes;
    if (!file.ReadExact(bytes.data(), units * 2))
        return false;
    text.resize(units);
    for (std::size_t i = 0; i < units; ++i)
        text[i] = static_cast<char16_t>(LE16(&bytes[2 * i]));
    return file.Skip(int64_t(n) - int64_t(units) * 2);
}

bool ReadContentDescription(ReaderFile& file, int64_t object, FileData& data)
{
    // title, author, copyright, description, rating
    constexpr int kTargets[5] = {kTitle, kArtist, -1, kComment, -1};
    std::array<uint16_t, 5> lengths;
    if (!file.Seek(object + kDescriptionLengths))
        return false;
    for (uint16_t& length : lengths)
        if (!file.ReadU16LE(length))
            return false;
    for (std::size_t i = 0; i < lengths.size(); ++i) {
        if (lengths[i] == 0)
            continue;
        std::u16string text;
        if (!ReadFieldString(file, lengths[i], text))
            return false;
        if (kTargets[i] >= 0)
            data.TagData[static_cast<std::size_t>(kTargets[i])] = text;
    }
    return true;
}

bool ReadExtendedContentDescription(ReaderFile& file, int64_t object, FileData& data)
{
    uint16_t count;
    if (!file.Seek(object + kDescriptorCount) || !file.ReadU16LE(count))
        return false;
    for (unsigned d = 0; d < count; ++d) {
        // name length(2) name, value type(2), value length(2) value
        uint16_t nameLength, valueType, valueLength;
        std::u16string name, value;
        if (!file.ReadU16LE(nameLength) || !ReadFieldString(file, nameLength, name) || !file.ReadU16LE(valueType) ||
            !file.ReadU16LE(valueLength))
            return false;
        if (valueType != kStringValue) {
            if (!file.Skip(valueLength))
                return false;
            continue;
        }
        if (!ReadFieldString(file, valueLength, value))
            return false;
        std::string upper = UpperAscii(Utf16ToUtf8(Trim(name)));
        for (std::size_t slot = 0; slot < kSlots; ++slot)
            if (upper == kExtendedNames[slot])
                data.TagData[slot] = value;
    }
    return true;
}

// The play duration less the preroll where the file gives it; otherwise the whole file at the
// maximum bit rate, which is short for most files.
double DurationOf(const FileData& data)
{
    double play = double(data.PlayDuration) / 1e7 - double(data.PrerollMs) / 1000;
    if ((data.Flags & kBroadcastFlag) == 0 && data.PlayDuration != 0 && play > 0)
        return play;
    return double(FileSize32(data.FileSize)) * 8 / data.MaxBitRate;
}

bool ReadObjectId(ReaderFile& file, Guid& id)
{
    return file.ReadExact(id.data(), id.size());
}

// Walks the objects of the header object. A file without the header identifier finds nothing and
// counts as read; a failed read fails the walk.
bool WalkHeader(ReaderFile& file, FileData& data)
{
    data.FileSize = file.Size();
    Guid id;
    uint32_t objectCount;
    if (!file.Seek(0) || !ReadObjectId(file, id))
        return false;
    if (id != kHeaderObject)
        return true;
    if (!file.Seek(kObjectCount) || !file.ReadU32LE(objectCount) || !file.Seek(kFirstObject))
        return false;
    for (uint32_t n = 0; n < objectCount; ++n) {
        int64_t object = file.Position();
        uint32_t size; // the low half of the 64-bit size
        if (!ReadObjectId(file, id) || !file.ReadU32LE(size))
            return false;
        // A size of 0 would read the same object again and again: the walk ends there.
        if (size == 0)
            return true;
        if (id == kFilePropertiesObject) {
            uint64_t sendDuration;
            if (!file.Seek(object + kPlayDuration) || !file.ReadU64LE(data.PlayDuration) ||
                !file.ReadU64LE(sendDuration) || !file.ReadU64LE(data.PrerollMs) || !file.ReadU32LE(data.Flags) ||
                !file.Seek(object + kMaxBitRate) || !file.ReadU32LE(data.MaxBitRate))
                return false;
        } else if (id == kStreamPropertiesObject) {
            if (!file.Seek(object + kChannels) || !file.ReadU16LE(data.Channels) || !file.ReadU32LE(data.SampleRate) ||
                !file.ReadU32LE(data.ByteRate))
                return false;
        } else if (id == kContentDescriptionObject) {
            if (!ReadContentDescription(file, object, data))
                return false;
        } else if (id == kExtendedContentDescriptionObject) {
            if (!ReadExtendedContentDescription(file, object, data))
                return false;
        }
        if (!file.Seek(object + size))
            return false;
    }
    return true;
}

} // namespace

bool TWMAfile::Read(const std::string& fileName)
{
    ReaderFile file(fileName);
    return Read(file);
}

bool TWMAfile::Read(ReaderFile& file)
{
    Clear();
    FileData data;
    if (!WalkHeader(file, data))
        return false;
    bool plausible = data.MaxBitRate > 0 && data.MaxBitRate <= kMostBytesPerSecond * 8 &&
                     (data.Channels == 1 || data.Channels == 2) && data.SampleRate >= 8000 &&
                     data.SampleRate <= 96000 && data.ByteRate > 0 && data.ByteRate <= kMostBytesPerSecond;
    if (!plausible)
        return true;

    fileSize_ = FileSize32(data.FileSize);
    channelCount_ = static_cast<uint8_t>(data.Channels);
    sampleRate_ = static_cast<int32_t>(data.SampleRate);
    durationSeconds_ = DurationOf(data);
    bitRateKbps_ = static_cast<int32_t>(data.ByteRate * 8 / 1000);
    title_ = Utf16ToUtf8(Trim(data.TagData[kTitle]));
    artist_ = Utf16ToUtf8(Trim(data.TagData[kArtist]));
    album_ = Utf16ToUtf8(Trim(data.TagData[kAlbum]));
    year_ = Utf16ToUtf8(Trim(data.TagData[kYear]));
    genre_ = Utf16ToUtf8(Trim(data.TagData[kGenre]));
    comment_ = Utf16ToUtf8(Trim(data.TagData[kComment]));
    // The track must be a whole number: "3/12" gives 0.
    track_ = IntegerFromText(Utf16ToUtf8(Trim(data.TagData[kTrack])));
    recognised_ = true;
    return true;
}

std::string TWMAfile::ChannelModeText() const
{
    return ChannelModeFor(channelCount_);
}

} // namespace fileinfo
