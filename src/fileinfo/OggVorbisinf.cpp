#include "OggVorbisinf.h"

#include "ChannelMode.h"
#include "ReaderFile.h"
#include "Rounding.h"
#include "TextRoutines.h"
#include "VorbisComments.h"

#include <array>
#include <cstring>
#include <string_view>

namespace fileinfo::OggVorbisinf {

namespace {

// The identification header right after a first page of one segment: 27 + 1 bytes in.
constexpr int64_t kIdHeaderOffset = 28;
constexpr std::size_t kIdHeaderSize = 30;
constexpr std::size_t kChannels = 11, kRate = 12, kNominal = 20;
constexpr std::size_t kCommentSearch = 250;

enum Slot { kTitle, kArtist, kAlbum, kTrackNumber, kDate, kGenre, kComment, kSlots };
constexpr std::array<std::string_view, kSlots> kNames = {"TITLE", "ARTIST", "ALBUM",  "TRACKNUMBER",
                                                         "DATE",  "GENRE",  "COMMENT"};

// Where the comment header's entries start (just after "\3vorbis") and where the body of their
// page ends, found by following the pages from the start of the file and looking at the start of
// every packet on them: a large comment header (a cover picture) pushes its start past the first
// bytes. Entries at 0 and no page when none of the first kPagesToWalk pages holds it.
struct CommentStart {
    int64_t entries = 0;
    int64_t bodyEnd = -1;
};

CommentStart CommentEntriesByPages(ReaderFile& file)
{
    // Page header: "OggS" version(1) flags(1, bit 0: continues a packet) granule(8) serial(4)
    // sequence(4) crc(4) segments(1), then the segment sizes and the body.
    constexpr int kPagesToWalk = 16;
    constexpr std::size_t kPageHeader = 27, kFlags = 5, kSegments = 26;
    int64_t page = 0;
    for (int n = 0; n < kPagesToWalk; ++n) {
        std::array<unsigned char, kPageHeader> header;
        std::array<unsigned char, 255> sizes;
        if (!file.ReadAt(page, header.data(), header.size()) || std::memcmp(header.data(), "OggS", 4) != 0 ||
            !file.ReadExact(sizes.data(), header[kSegments]))
            return {};
        int64_t at = page + int64_t(kPageHeader) + header[kSegments];
        int64_t bodyEnd = at;
        for (std::size_t i = 0; i < header[kSegments]; ++i)
            bodyEnd += sizes[i];
        bool packetStarts = (header[kFlags] & 1) == 0;
        for (std::size_t i = 0; i < header[kSegments]; ++i) {
            std::array<char, 7> magic;
            if (packetStarts && file.ReadAt(at, magic.data(), magic.size()) &&
                std::string_view(magic.data(), magic.size()) == kVorbisComment)
                return {at + int64_t(magic.size()), bodyEnd};
            at += sizes[i];
            packetStarts = sizes[i] < 255;
        }
        page = bodyEnd;
    }
    return {};
}

// The 32-bit granule of the first page start in a block of 250 bytes, stepping back 240 bytes a
// block over the last 12 KB. A block that is not all in the file ends the search with 0.
int32_t FirstPageSampleCount(ReaderFile& file)
{
    constexpr int kBlock = 250, kStep = 240, kOverlap = 10;
    for (int k = 1; k <= 50; ++k) {
        std::array<unsigned char, kBlock> block;
        if (!file.ReadAt(file.Size() - int64_t(kStep) * k - kOverlap, block.data(), block.size()))
            return 0;
        for (int j = 0; j <= kStep; ++j)
            if (std::memcmp(&block[j], "OggS", 4) == 0)
                return static_cast<int32_t>(LE32(&block[j + 6]));
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
    std::array<unsigned char, kIdHeaderSize> id;
    if (!file.ReadAt(kIdHeaderOffset, id.data(), id.size()))
        return false;
    if (std::memcmp(id.data(), kVorbisIdentification.data(), kVorbisIdentification.size()) != 0)
        return true;

    // The comment header is found on the first pages, or else in the first 250 bytes.
    std::array<std::string, kSlots> slots;
    std::string vendor;
    std::string head(kCommentSearch, '\0');
    if (file.ReadAt(0, head.data(), head.size())) {
        std::size_t found = head.find(kVorbisComment);
        // Where the first bytes and the pages disagree, the first bytes are read straight on, as
        // they always were.
        CommentStart start = CommentEntriesByPages(file);
        if (found != std::string::npos && found <= kCommentSearch - kVorbisComment.size() &&
            start.entries != int64_t(found + kVorbisComment.size()))
            start = {int64_t(found + kVorbisComment.size()), -1};
        file.Seek(start.entries);
        ReadVorbisComments(file, start.bodyEnd, [&](const std::string& entry) {
            std::string name, value;
            if (!SplitComment(entry, name, value)) {
                if (vendor.empty())
                    vendor = entry;
                return;
            }
            for (std::size_t slot = 0; slot < kSlots; ++slot)
                if (name == kNames[slot])
                    slots[slot] = value;
        });
    }
    int32_t sampleCount = FirstPageSampleCount(file);

    fileSize_ = FileSize32(file.Size());
    channelCount_ = (id[kChannels] == 1 || id[kChannels] == 2) ? id[kChannels] : 0;
    sampleRate_ = LE32(&id[kRate]);
    // Whole kilobits, the remainder dropped.
    nominalBitRateKbps_ = static_cast<uint16_t>(static_cast<int32_t>(LE32(&id[kNominal])) / 1000);
    sampleCount_ = sampleCount;
    title_ = Utf8ToAnsi(slots[kTitle]);
    artist_ = Utf8ToAnsi(slots[kArtist]);
    album_ = Utf8ToAnsi(slots[kAlbum]);
    date_ = Utf8ToAnsi(slots[kDate]);
    genre_ = Utf8ToAnsi(slots[kGenre]);
    comment_ = Utf8ToAnsi(slots[kComment]);
    track_ = static_cast<uint8_t>(TrackFromText(slots[kTrackNumber]));
    vendor_ = Utf8ToAnsi(vendor);
    recognised_ = true;
    return true;
}

double TOggVorbis::DurationSeconds() const
{
    // Size and sample count are taken as unsigned here.
    auto samples = static_cast<uint32_t>(sampleCount_);
    auto size = static_cast<uint32_t>(fileSize_);
    if (samples > 0)
        return sampleRate_ != 0 ? double(samples) / sampleRate_ : 0;
    if (nominalBitRateKbps_ != 0 && channelCount_ != 0)
        return double(size) / nominalBitRateKbps_ / channelCount_ / 125 * 2;
    return 0;
}

uint16_t TOggVorbis::BitRateKbps() const
{
    double duration = DurationSeconds();
    if (duration <= 0)
        return 0;
    return static_cast<uint16_t>(RoundHalfEven(double(static_cast<uint32_t>(fileSize_)) / duration / 125));
}

bool TOggVorbis::IsDamaged() const
{
    double duration = DurationSeconds();
    return recognised_ && !(channelCount_ != 0 && sampleRate_ != 0 && duration >= 0.1 && BitRateKbps() != 0);
}

std::string TOggVorbis::ChannelModeText() const
{
    return ChannelModeFor(channelCount_);
}

} // namespace fileinfo::OggVorbisinf
