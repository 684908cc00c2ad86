#include "APEtag.h"

#include "ReaderFile.h"
#include "TextRoutines.h"

#include <array>
#include <cstring>
#include <string_view>

namespace fileinfo {

namespace {

// Footer, little-endian: "APETAGEX"(8) version(4) size(4) items(4) flags(4) reserved(8).
// Item: value size(4) flags(4) name, zero byte, value.
constexpr std::size_t kFooterSize = 32;
constexpr int64_t kId3v1Size = 128;

enum Slot { kTitle, kArtist, kAlbum, kTrack, kYear, kGenre, kComment, kCopyright, kSlots };
constexpr std::array<std::string_view, kSlots> kNames = {"TITLE", "ARTIST", "ALBUM",   "TRACK",
                                                         "YEAR",  "GENRE",  "COMMENT", "COPYRIGHT"};

// The item name through its zero byte. Names longer than a value may be are not kept whole: no
// name in the table is that long, even with blanks around it.
bool ReadItemName(ReaderFile& file, std::string& name)
{
    name.clear();
    char c;
    while (file.ReadExact(&c, 1)) {
        if (c == '\0')
            return true;
        if (name.size() < kValueCap)
            name += c;
    }
    return false;
}

} // namespace

bool TAPEtag::Read(const std::string& fileName)
{
    ReaderFile file(fileName);
    return Read(file);
}

bool TAPEtag::Read(ReaderFile& file)
{
    Clear();
    char tag[3];
    if (!file.ReadAt(file.Size() - kId3v1Size, tag, sizeof tag))
        return false;
    int64_t end = std::memcmp(tag, "TAG", 3) == 0 ? file.Size() - kId3v1Size : file.Size();
    std::array<unsigned char, kFooterSize> footer;
    if (!file.ReadAt(end - int64_t(kFooterSize), footer.data(), footer.size()))
        return false;
    if (std::memcmp(footer.data(), "APETAGEX", 8) != 0)
        return true;
    tagFound_ = true;
    tagVersion_ = static_cast<int32_t>(LE32(&footer[8]));
    tagSize_ = static_cast<int32_t>(LE32(&footer[12]));
    uint32_t itemCount = LE32(&footer[16]);

    std::array<std::string, kSlots> slots;
    if (file.Seek(end - tagSize_)) {
        for (uint32_t n = 0; n < itemCount; ++n) {
            uint32_t valueSize, flags;
            std::string name, value;
            // A value size that is negative as a signed number ends the items.
            if (!file.ReadU32LE(valueSize) || !file.ReadU32LE(flags) || !ReadItemName(file, name) ||
                !ReadBoundedValue(file, static_cast<int32_t>(valueSize), value))
                break;
            std::string upper = UpperAscii(Trim(name));
            for (std::size_t slot = 0; slot < kSlots; ++slot)
                if (upper == kNames[slot])
                    slots[slot] = tagVersion_ <= 1000 ? Trim(value) : Utf8ToAnsi(Trim(value));
        }
    }
    title_ = slots[kTitle];
    artist_ = slots[kArtist];
    album_ = slots[kAlbum];
    year_ = slots[kYear];
    genre_ = slots[kGenre];
    comment_ = slots[kComment];
    copyright_ = slots[kCopyright];
    track_ = static_cast<uint8_t>(TrackFromText(slots[kTrack]));
    return true;
}

} // namespace fileinfo
