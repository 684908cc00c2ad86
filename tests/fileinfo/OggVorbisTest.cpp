#include "fileinfo/OggVorbis.h"
#include "Fixtures.h"
#include "fileinfo/OggVorbisinf.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <vector>

using fixtures::Fixture;
using fixtures::Put;
using testsupport::ByteBuilder;
using PlayerOgg = fileinfo::OggVorbis::TOggVorbis;
using DisplayOgg = fileinfo::OggVorbisinf::TOggVorbis;

namespace {

struct OggSpec {
    std::vector<std::string> comments;
    uint32_t granule = 88200;
    std::size_t padding = 2000; // audio bytes between the headers and the last page
    int32_t nominal = 128000;
    std::string rawEntries; // after the counted comments
};

ByteBuilder& Page(ByteBuilder& b, uint64_t granule, std::size_t bytes)
{
    b.text("OggS").u8(0).u8(0).u64le(granule).u32le(1).u32le(0).u32le(0).u8(static_cast<unsigned>(bytes / 255 + 1));
    return b.fill(bytes / 255, 255).u8(bytes % 255);
}

// Identification page, comment page, audio bytes, last page; no checksums, which the readers ignore.
std::string OggFile(const OggSpec& s)
{
    ByteBuilder comment;
    comment.text("\x03vorbis").u32le(7).text("builder").u32le(static_cast<uint32_t>(s.comments.size()));
    for (const std::string& c : s.comments)
        comment.u32le(static_cast<uint32_t>(c.size())).text(c);
    ByteBuilder b;
    Page(b, 0, 30).text("\x01vorbis").u32le(0).u8(2).u32le(44100).u32le(0).u32le(s.nominal).u32le(0).u16le(0x1B8);
    Page(b, 0, comment.size() + s.rawEntries.size()).text(comment.str()).text(s.rawEntries).fill(s.padding, 0x55);
    return Page(b, s.granule, 10).fill(10, 0x55).str();
}

} // namespace

TEST(OggVorbis, BothVariantsReadRealFiles)
{
    PlayerOgg player;
    DisplayOgg display;
    ASSERT_TRUE(player.Read(Fixture("vorbis_comments.ogg")));
    ASSERT_TRUE(display.Read(Fixture("vorbis_comments.ogg")));
    EXPECT_TRUE(player.IsPlausible());
    EXPECT_FALSE(display.IsDamaged());
    EXPECT_EQ(player.NominalBitRateKbps(), 64);
    EXPECT_EQ(player.SampleCount(), 88200);
    EXPECT_EQ(player.BitRateKbps(), 38); // 9591 bytes / 2 s / 125 = 38.4
    EXPECT_EQ(player.Title(), "Caf\xC3\xA9 \xE2\x82\xAC Title");
    EXPECT_EQ(player.Track(), 3); // "3/12"
    EXPECT_EQ(player.Vendor(), "Xiph.Org libVorbis I 20200704 (Reducing Environment)");
    EXPECT_EQ(display.Title(), player.Title());
    EXPECT_EQ(display.Date(), "2003");
    EXPECT_EQ(display.BitRateKbps(), 38);
    // Behind an ID3v2 tag only the player side finds it.
    ASSERT_TRUE(player.Read(Fixture("vorbis_id3v2_prefix.ogg")));
    EXPECT_EQ(player.Id3v2Size(), 128);
    EXPECT_EQ(player.Artist(), "Ogg Artist");
    EXPECT_TRUE(display.Read(Fixture("vorbis_id3v2_prefix.ogg")));
    EXPECT_FALSE(display.Recognised());
    EXPECT_EQ(display.Title(), "");
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
    EXPECT_EQ(display.Album(), "After long");

    testsupport::TempDir dir;
    OggSpec spec;
    spec.comments = {"DESCRIPTION=Described", "tracknumber=300", "TITLE=ab\xC3(cd", "noequals"};
    spec.nominal = 65500;
    ASSERT_TRUE(player.Read(Put(dir, OggFile(spec))));
    ASSERT_TRUE(display.Read(Put(dir, OggFile(spec))));
    EXPECT_EQ(player.Comment(), "Described");
    EXPECT_EQ(display.Comment(), "");
    EXPECT_EQ(player.Track(), 300);
    EXPECT_EQ(display.Track(), 300 % 256);
    EXPECT_EQ(player.Title(), "ab\xEF\xBF\xBD(cd"); // a malformed sequence is replaced
    EXPECT_EQ(display.Title(), "ab\xEF\xBF\xBD(cd");
    EXPECT_EQ(player.Vendor(), "builder");      // "noequals" comes after the vendor text
    EXPECT_EQ(player.NominalBitRateKbps(), 66); // 65.5 to even
    EXPECT_EQ(display.NominalBitRateKbps(), 65);

    // A negative entry length ends the comments.
    spec.comments = {"TITLE=Kept", "x"};
    spec.rawEntries = ByteBuilder().u32le(0xFFFFFFF0).text("ARTIST=Lost").str();
    ASSERT_TRUE(player.Read(Put(dir, OggFile(spec))));
    ASSERT_TRUE(display.Read(Put(dir, OggFile(spec))));
    EXPECT_EQ(player.Title(), "Kept");
    EXPECT_EQ(player.Artist(), "");
    EXPECT_EQ(display.Title(), "Kept");
}

TEST(OggVorbis, CommentHeaderOverTwoPages)
{
    // Taggers cut a large comment header into pages of a few KB: here 510 bytes on the second
    // page, the rest on a third that continues the packet. The title and the artist come after
    // the cut.
    ByteBuilder comment;
    comment.text("\x03vorbis").u32le(7).text("builder").u32le(3);
    for (std::string c :
         {"COMMENT=" + std::string(600, 'c'), std::string("TITLE=After the cut"), std::string("ARTIST=Paged")})
        comment.u32le(static_cast<uint32_t>(c.size())).text(c);
    const std::string packet = comment.str();
    auto page = [](ByteBuilder& b, unsigned flags, const std::vector<uint8_t>& sizes) -> ByteBuilder& {
        b.text("OggS").u8(0).u8(flags).u64le(0).u32le(1).u32le(0).u32le(0).u8(static_cast<unsigned>(sizes.size()));
        for (uint8_t size : sizes)
            b.u8(size);
        return b;
    };
    ByteBuilder b;
    Page(b, 0, 30).text("\x01vorbis").u32le(0).u8(2).u32le(44100).u32le(0).u32le(128000).u32le(0).u16le(0x1B8);
    page(b, 0, {255, 255}).text(packet.substr(0, 510));
    std::vector<uint8_t> rest((packet.size() - 510) / 255, 255);
    rest.push_back(static_cast<uint8_t>((packet.size() - 510) % 255));
    page(b, 1, rest).text(packet.substr(510)).fill(2000, 0x55);
    const std::string file = Page(b, 88200, 10).fill(10, 0x55).str();

    testsupport::TempDir dir;
    PlayerOgg player;
    DisplayOgg display;
    ASSERT_TRUE(player.Read(Put(dir, file)));
    ASSERT_TRUE(display.Read(Put(dir, file)));
    EXPECT_EQ(player.Title(), "After the cut");
    EXPECT_EQ(player.Artist(), "Paged");
    EXPECT_EQ(display.Title(), "After the cut");
    EXPECT_EQ(display.Artist(), "Paged");
    EXPECT_EQ(display.Comment(), std::string(242, 'c'));
}

TEST(OggVorbis, LastPageSearch)
{
    testsupport::TempDir dir;
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
    ASSERT_LT(OggFile(small).size(), 250u);
    ASSERT_TRUE(player.Read(Put(dir, OggFile(small))));
    ASSERT_TRUE(display.Read(Put(dir, OggFile(small))));
    EXPECT_EQ(player.SampleCount(), 4410);
    EXPECT_EQ(display.SampleCount(), 0);
    // Days of audio in a few kilobytes: a duration but no bit rate, which is damage.
    OggSpec days;
    days.granule = 0x7FFFFFFF;
    ASSERT_TRUE(display.Read(Put(dir, OggFile(days))));
    ASSERT_TRUE(player.Read(Put(dir, OggFile(days))));
    EXPECT_DOUBLE_EQ(display.DurationSeconds(), 2147483647.0 / 44100);
    EXPECT_TRUE(display.IsDamaged());
    EXPECT_FALSE(player.IsPlausible());
}

TEST(OggVorbis, OtherFilesAndOpenErrors)
{
    testsupport::TempDir dir;
    PlayerOgg player;
    DisplayOgg display;
    EXPECT_FALSE(player.Read(dir.file("missing.ogg")));
    EXPECT_EQ(player.OpenError(), ENOENT);
    EXPECT_FALSE(player.Read(Fixture("pcm_u8_mono.wav")));
    EXPECT_EQ(player.OpenError(), 0);
    EXPECT_TRUE(display.Read(Fixture("pcm_u8_mono.wav")));
    EXPECT_FALSE(display.Recognised());
    EXPECT_FALSE(display.Read(Put(dir, std::string(57, 'x')))); // the header needs 58 bytes
}
