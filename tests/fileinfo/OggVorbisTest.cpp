#include "fileinfo/OggVorbis.h"
#include "Fixtures.h"
#include "fileinfo/OggVorbisinf.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <vector>

using fixtures::Fixture;
using fixtures::Put;
using testsupport::ByteBuilder;
using testsupport::TempDir;
using PlayerOgg = fileinfo::OggVorbis::TOggVorbis;
using DisplayOgg = fileinfo::OggVorbisinf::TOggVorbis;

namespace {

struct OggSpec {
    std::vector<std::string> comments;
    uint32_t granule = 88200;
    std::size_t padding = 2000; // audio bytes between the headers and the last page
    uint32_t rate = 44100;
    int32_t nominal = 128000;
    std::string rawEntries; // appended after the counted comments
};

ByteBuilder& Page(ByteBuilder& b, uint64_t granule, std::size_t bytes)
{
    b.text("OggS").u8(0).u8(0).u64le(granule).u32le(1).u32le(0).u32le(0).u8(static_cast<unsigned>(bytes / 255 + 1));
    for (std::size_t i = 0; i < bytes / 255; ++i)
        b.u8(255);
    return b.u8(bytes % 255);
}

// Identification page, comment page, audio bytes, last page. No checksums: the readers take none.
std::string OggFile(const OggSpec& s)
{
    ByteBuilder comment;
    comment.text("\x03vorbis").u32le(7).text("builder").u32le(static_cast<uint32_t>(s.comments.size()));
    for (const std::string& c : s.comments)
        comment.u32le(static_cast<uint32_t>(c.size())).text(c);
    comment.text(s.rawEntries);
    ByteBuilder b;
    Page(b, 0, 30).text("\x01vorbis").u32le(0).u8(2).u32le(s.rate).u32le(0).u32le(s.nominal).u32le(0).u8(0xB8).u8(1);
    Page(b, 0, comment.size()).text(comment.str()).fill(s.padding, 0x55);
    Page(b, s.granule, 10).fill(10, 0x55);
    return b.str();
}

} // namespace

TEST(OggVorbis, BothVariantsReadARealFile)
{
    PlayerOgg player;
    DisplayOgg display;
    ASSERT_TRUE(player.Read(Fixture("vorbis_comments.ogg")));
    ASSERT_TRUE(display.Read(Fixture("vorbis_comments.ogg")));
    EXPECT_TRUE(display.Recognised());
    EXPECT_FALSE(display.IsDamaged());
    EXPECT_TRUE(player.IsPlausible());
    EXPECT_EQ(player.FileSize(), 9591);
    EXPECT_EQ(player.ChannelCount(), 2);
    EXPECT_EQ(player.SampleRate(), 44100);
    EXPECT_EQ(player.NominalBitRateKbps(), 64);
    EXPECT_EQ(player.SampleCount(), 88200);
    EXPECT_EQ(player.DurationSeconds(), 2.0);
    EXPECT_EQ(player.BitRateKbps(), 38); // 9591 / 2 / 125 = 38.4
    EXPECT_EQ(player.Title(), "Caf\xC3\xA9 \xE2\x82\xAC Title");
    EXPECT_EQ(player.Artist(), "Ogg Artist");
    EXPECT_EQ(player.Album(), "Ogg Album");
    EXPECT_EQ(player.Date(), "2003");
    EXPECT_EQ(player.Genre(), "Ogg Genre");
    EXPECT_EQ(player.Comment(), "Ogg comment");
    EXPECT_EQ(player.Track(), 3);
    EXPECT_EQ(player.Vendor(), "Xiph.Org libVorbis I 20200704 (Reducing Environment)");
    for (auto [a, b] : {std::pair{player.Title(), display.Title()},
                        {player.Artist(), display.Artist()},
                        {player.Date(), display.Date()},
                        {player.Vendor(), display.Vendor()}})
        EXPECT_EQ(a, b);
    EXPECT_EQ(display.Track(), 3);
    EXPECT_EQ(display.BitRateKbps(), 38);
    EXPECT_EQ(display.ChannelModeText(), "Stereo");
}

TEST(OggVorbis, LeadingId3v2TagIsSkippedOnlyByThePlayerSide)
{
    PlayerOgg player;
    DisplayOgg display;
    ASSERT_TRUE(player.Read(Fixture("vorbis_id3v2_prefix.ogg")));
    EXPECT_EQ(player.Id3v2Size(), 128);
    EXPECT_EQ(player.Artist(), "Ogg Artist");
    EXPECT_EQ(player.BitRateKbps(), 38); // (9719 - 128) / 2 / 125
    EXPECT_TRUE(display.Read(Fixture("vorbis_id3v2_prefix.ogg")));
    EXPECT_FALSE(display.Recognised());
    EXPECT_FALSE(display.IsDamaged());
}

TEST(OggVorbis, FallbacksAndLongEntries)
{
    PlayerOgg player;
    DisplayOgg display;
    ASSERT_TRUE(player.Read(Fixture("vorbis_performer.ogg")));
    ASSERT_TRUE(display.Read(Fixture("vorbis_performer.ogg")));
    EXPECT_EQ(player.Artist(), "Ogg Performer");
    EXPECT_EQ(display.Artist(), "");
    EXPECT_EQ(player.Comment(), std::string(242, 'x')); // 250 bytes of "COMMENT=xxx..."
    EXPECT_EQ(player.Album(), "After long");
    EXPECT_EQ(display.Album(), "After long");

    TempDir dir;
    OggSpec spec;
    spec.comments = {"DESCRIPTION=Described", "tracknumber=300", "TITLE=ab\xC3(cd", "noequals"};
    spec.nominal = 65500;
    ASSERT_TRUE(player.Read(Put(dir, OggFile(spec))));
    ASSERT_TRUE(display.Read(Put(dir, OggFile(spec))));
    EXPECT_EQ(player.Comment(), "Described");
    EXPECT_EQ(display.Comment(), "");
    EXPECT_EQ(player.Track(), 300);
    EXPECT_EQ(display.Track(), 300 % 256);
    EXPECT_EQ(player.Title(), "ab"); // a malformed sequence ends the value
    EXPECT_EQ(display.Title(), "ab");
    EXPECT_EQ(player.Vendor(), "builder");      // "noequals" comes after the vendor text
    EXPECT_EQ(player.NominalBitRateKbps(), 66); // 65.5 to even
    EXPECT_EQ(display.NominalBitRateKbps(), 65);
}

TEST(OggVorbis, NegativeEntryLengthEndsTheComments)
{
    TempDir dir;
    OggSpec spec;
    spec.comments = {"TITLE=Kept", "x"};
    spec.rawEntries = ByteBuilder().u32le(0xFFFFFFF0).text("ARTIST=Lost").str();
    std::string bytes = OggFile(spec);
    PlayerOgg player;
    DisplayOgg display;
    ASSERT_TRUE(player.Read(Put(dir, bytes)));
    ASSERT_TRUE(display.Read(Put(dir, bytes)));
    EXPECT_EQ(player.Title(), "Kept");
    EXPECT_EQ(player.Artist(), "");
    EXPECT_EQ(display.Title(), "Kept");
}

TEST(OggVorbis, LastPageSearch)
{
    TempDir dir;
    PlayerOgg player;
    DisplayOgg display;
    // Nothing but audio in the last 12 KB: the duration comes from the nominal bit rate.
    std::string bytes = OggFile(OggSpec{}) + std::string(13000, 'x');
    ASSERT_TRUE(player.Read(Put(dir, bytes)));
    ASSERT_TRUE(display.Read(Put(dir, bytes)));
    EXPECT_EQ(player.SampleCount(), 0);
    EXPECT_DOUBLE_EQ(player.DurationSeconds(), double(bytes.size()) / 128 / 2 / 125 * 2);
    EXPECT_DOUBLE_EQ(display.DurationSeconds(), player.DurationSeconds());

    // A file shorter than one search block: the player side still finds its last page.
    OggSpec small;
    small.padding = 0;
    small.granule = 4410;
    bytes = OggFile(small);
    ASSERT_LT(bytes.size(), 250u);
    ASSERT_TRUE(player.Read(Put(dir, bytes)));
    ASSERT_TRUE(display.Read(Put(dir, bytes)));
    EXPECT_EQ(player.SampleCount(), 4410);
    EXPECT_EQ(display.SampleCount(), 0);
}

TEST(OggVorbis, DurationWithoutBitRateIsDamaged)
{
    TempDir dir;
    OggSpec spec;
    spec.granule = 0x7FFFFFFF; // days of audio in a few kilobytes
    DisplayOgg display;
    PlayerOgg player;
    ASSERT_TRUE(display.Read(Put(dir, OggFile(spec))));
    ASSERT_TRUE(player.Read(Put(dir, OggFile(spec))));
    EXPECT_GT(display.DurationSeconds(), 0);
    EXPECT_EQ(display.BitRateKbps(), 0);
    EXPECT_TRUE(display.IsDamaged());
    EXPECT_FALSE(player.IsPlausible());
}

TEST(OggVorbis, OtherFilesAndOpenErrors)
{
    TempDir dir;
    PlayerOgg player;
    DisplayOgg display;
    EXPECT_FALSE(player.Read(dir.file("missing.ogg")));
    EXPECT_EQ(player.OpenError(), ENOENT);
    EXPECT_FALSE(player.Read(Fixture("lame_vbr.mp3")));
    EXPECT_EQ(player.OpenError(), 0);
    ASSERT_TRUE(player.Read(Fixture("vorbis_comments.ogg")));
    EXPECT_FALSE(player.Read(Fixture("pcm_u8_mono.wav")));
    EXPECT_EQ(player.Title(), "");
    EXPECT_EQ(player.FileSize(), 0);

    ASSERT_TRUE(display.Read(Fixture("vorbis_comments.ogg")));
    EXPECT_TRUE(display.Read(Fixture("pcm_u8_mono.wav")));
    EXPECT_FALSE(display.Recognised());
    EXPECT_EQ(display.Title(), "");
    EXPECT_FALSE(display.Read(Put(dir, std::string(57, 'x')))); // the header needs 58 bytes
}
