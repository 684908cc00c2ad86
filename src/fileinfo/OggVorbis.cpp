#include "OggVorbis.h"

#include "ReaderFile.h"
#include "Rounding.h"
#include "TextRoutines.h"
#include "VorbisComments.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace fileinfo::OggVorbis {

namespace {

// Ogg page header: "OggS" version(1) type(1) granule(8, LE) serial(4) sequence(4) crc(4)
// segments(1) then the segment table. Read as 27 bytes and up to 255 segment sizes.
constexpr std::size_t kPageHeaderSize = 282;
constexpr std::size_t kGranule = 6, kSegments = 26, kSegmentTable = 27;
// Identification header: "\1vorbis" version(4) channels(1) rate(4) max(4) nominal(4) min(4) sizes(1) framing(1)
constexpr std::size_t kIdHeaderSize = 30;
constexpr std::size_t kChannels = 11, kRate = 12, kNominal = 20;

enum Slot { kTitle, kArtist, kAlbum, kTrackNumber, kDate, kGenre, kComment, kPerformer, kDescription, kSlots };
constexpr std::array<std::string_view, kSlots> kNames = {"TITLE", "ARTIST",  "ALBUM",     "TRACKNUMBER", "DATE",
                                                         "GENRE", "COMMENT", "PERFORMER", "DESCRIPTION"};

bool StartsWith(const unsigned char* bytes, std::string_view magic)
{
    return std::memcmp(bytes, magic.data(), magic.size()) == 0;
}

// The tag size as the tag header states it (top bits not masked), with a footer when flagged;
// 0 without a tag or when larger than the file.
int32_t Id3v2SizeOf(ReaderFile& file)
{
    unsigned char h[10] = {};
    file.Seek(0);
    file.Read(h, sizeof h);
    if (!StartsWith(h, "ID3"))
        return 0;
    int64_t size = (int64_t(h[6]) << 21) + (int64_t(h[7]) << 14) + (int64_t(h[8]) << 7) + h[9] + 10;
    if (h[5] & 0x10)
        size += 10;
    return size > file.Size() ? 0 : static_cast<int32_t>(size);
}

// The granule position (low 32 bits) of the last page that starts in the last 12 KB; 0 when none.
// Blocks of 251 bytes step back 241 bytes at a time; in a file shorter than a block the block
// starts at the beginning.
int32_t LastPageSampleCount(ReaderFile& file)
{
    constexpr int kBlock = 251, kStep = 241, kOverlap = 10;
    for (int k = 1; k <= 50; ++k) {
        int64_t start = file.Size() - int64_t(kStep) * k - kOverlap;
        std::array<unsigned char, kBlock> block{};
        file.Seek(std::max<int64_t>(start, 0));
        file.Read(block.data(), block.size());
        for (int j = kStep; j >= 0; --j)
            if (StartsWith(&block[j], "OggS"))
                return static_cast<int32_t>(LE32(&block[j + kGranule]));
        if (start <= 0)
            break;
    }
    return 0;
}

} // namespace

bool TOggVorbis::Read(const std::string& fileName)
{
    ReaderFile file(fileName);
    return Read(file);
}

bool TOggVorbis::Read(ReaderFile& file)
{
    Clear();
    if (!file.IsOpen()) {
        openError_ = file.OpenError();
        return false;
    }
    // Short reads leave zero bytes, which the magic tests then refuse.
    int32_t id3v2Size = Id3v2SizeOf(file);
    std::array<unsigned char, kPageHeaderSize> page{};
    file.Seek(id3v2Size);
    file.Read(page.data(), page.size());
    if (!StartsWith(page.data(), "OggS"))
        return false;
    std::array<unsigned char, kIdHeaderSize> id{};
    file.Seek(int64_t(id3v2Size) + kSegmentTable + page[kSegments]);
    file.Read(id.data(), id.size());
    if (!StartsWith(id.data(), kVorbisIdentification))
        return false;

    // The identification packet fills the first page, so the second page follows it directly.
    std::array<std::string, kSlots> slots;
    std::string vendor;
    int64_t secondPage = file.Position();
    page.fill(0);
    file.Read(page.data(), page.size());
    const int64_t secondPageBodyEnd = PageBodyEnd(file, secondPage);
    std::array<unsigned char, 7> magic{};
    file.Seek(secondPage + kSegmentTable + page[kSegments]);
    file.Read(magic.data(), magic.size());
    if (StartsWith(magic.data(), kVorbisComment)) {
        ReadVorbisComments(file, secondPageBodyEnd, [&](const std::string& entry) {
            std::string name, value;
            if (!SplitComment(entry, name, value)) {
                if (vendor.empty())
                    vendor = entry;
                return;
            }
            for (std::size_t slot = 0; slot < kSlots; ++slot)
                if (name == kNames[slot])
                    slots[slot] = Utf8ToAnsi(Trim(value));
        });
    }
    int32_t sampleCount = LastPageSampleCount(file);

    fileSize_ = FileSize32(file.Size());
    id3v2Size_ = id3v2Size;
    channelCount_ = id[kChannels];
    sampleRate_ = LE32(&id[kRate]);
    nominalBitRateKbps_ = static_cast<uint16_t>(RoundHalfEven(static_cast<int32_t>(LE32(&id[kNominal])) / 1000.0));
    sampleCount_ = sampleCount;
    title_ = slots[kTitle];
    artist_ = slots[kArtist].empty() ? slots[kPerformer] : slots[kArtist];
    album_ = slots[kAlbum];
    track_ = static_cast<uint16_t>(TrackFromText(slots[kTrackNumber]));
    date_ = slots[kDate];
    genre_ = slots[kGenre];
    comment_ = slots[kComment].empty() ? slots[kDescription] : slots[kComment];
    vendor_ = vendor;
    return true;
}

double TOggVorbis::DurationSeconds() const
{
    if (sampleCount_ > 0)
        return sampleRate_ != 0 ? double(sampleCount_) / sampleRate_ : 0;
    if (nominalBitRateKbps_ != 0 && channelCount_ != 0)
        return (double(fileSize_) - id3v2Size_) / nominalBitRateKbps_ / channelCount_ / 125 * 2;
    return 0;
}

uint16_t TOggVorbis::BitRateKbps() const
{
    double duration = DurationSeconds();
    if (duration <= 0)
        return 0;
    return static_cast<uint16_t>(RoundHalfEven((double(fileSize_) - id3v2Size_) / duration / 125));
}

bool TOggVorbis::IsPlausible() const
{
    return (channelCount_ == 1 || channelCount_ == 2) && sampleRate_ > 0 && DurationSeconds() > 0.1 &&
           BitRateKbps() > 0;
}

} // namespace fileinfo::OggVorbis
