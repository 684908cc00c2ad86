#include "Fixtures.h"
#include "fileinfo/APEtag.h"
#include "fileinfo/Monkeyinf.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

using fileinfo::TAPEtag;
using fileinfo::TMonkey;
using fixtures::Fixture;
using fixtures::Put;
using testsupport::ByteBuilder;
using namespace std::string_literals;

namespace {

std::string Descriptor(uint16_t version, uint16_t level, uint32_t frames = 3)
{
    ByteBuilder b;
    b.text("MAC ").u16le(version).u16le(level).u16le(0).u16le(2).u32le(44100).u32le(32).u32le(0).u32le(frames);
    return b.u32le(1000).u32le(123).u32le(4).fill(200, 0x55).str();
}

// Audio bytes, the items (value size, flags, name, zero byte, value), any raw bytes, the footer.
std::string ApeTag(int32_t version, const std::vector<std::pair<std::string, std::string>>& items,
                   const std::string& raw = "")
{
    ByteBuilder body;
    for (const auto& [name, value] : items)
        body.u32le(static_cast<uint32_t>(value.size())).u32le(0).text(name).u8(0).text(value);
    body.text(raw);
    ByteBuilder b;
    b.fill(300, 0x55).text(body.str()).text("APETAGEX").u32le(static_cast<uint32_t>(version));
    return b.u32le(static_cast<uint32_t>(body.size() + 32))
        .u32le(static_cast<uint32_t>(items.size() + !raw.empty()))
        .zeros(12)
        .str();
}

} // namespace

TEST(Monkey, DescriptorFields)
{
    TMonkey monkey;
    ASSERT_TRUE(monkey.Read(Fixture("monkey_3970.ape")));
    EXPECT_EQ(monkey.SeekElements(), 2u);
    EXPECT_EQ(monkey.BitsPerSample(), 16);
    EXPECT_DOUBLE_EQ(monkey.DurationSeconds(), (73728.0 * 2 + 1000) / 44100);
    ASSERT_TRUE(monkey.Read(Fixture("monkey_3800_id3v1.ape")));
    EXPECT_EQ(monkey.BitsPerSample(), 24); // 8-bit and 24-bit flags together
    EXPECT_EQ(monkey.SamplesPerFrame(), 9216);
    EXPECT_EQ(monkey.PeakLevel(), 0u); // not flagged
    EXPECT_EQ(monkey.Id3v1Tag().Title(), "Monkey Title");

    testsupport::TempDir dir;
    const struct {
        uint16_t version, level;
        int32_t samples;
    } cases[] = {{3800, 4000, 73728}, {3790, 4000, 9216}, {3990, 1000, 73728}};
    for (const auto& c : cases) {
        ASSERT_TRUE(monkey.Read(Put(dir, Descriptor(c.version, c.level))));
        EXPECT_EQ(monkey.SamplesPerFrame(), c.samples) << c.version << " " << c.level;
    }
}

TEST(Monkey, OnlyADescriptorAtTheStartCounts)
{
    testsupport::TempDir dir;
    TMonkey monkey;
    ASSERT_TRUE(monkey.Read(Put(dir, "ID3\3\0\0\0\0\0\x20"s + std::string(32, '\0') + Descriptor(3990, 2000))));
    EXPECT_FALSE(monkey.IsPlausible());
    EXPECT_EQ(monkey.DurationSeconds(), 0);
    ASSERT_TRUE(monkey.Read(Put(dir, Descriptor(3990, 2000, 0x80000000u)))); // wraps, never overflows
    EXPECT_LT(monkey.TotalSamples(), 0);
    EXPECT_FALSE(monkey.Read(Put(dir, Descriptor(3990, 2000).substr(0, 127))));
    EXPECT_EQ(monkey.Magic(), "");
}

TEST(APEtag, TagsWrittenByATagger)
{
    TAPEtag ape;
    ASSERT_TRUE(ape.Read(Fixture("apev2.mp3")));
    EXPECT_EQ(ape.TagVersion(), 2000);
    EXPECT_EQ(ape.Title(), "Gr\xC3\xBC\xC3\x9F"
                           "e");
    EXPECT_EQ(ape.Artist(), "Ape Artist"); // "ARTIST"
    EXPECT_EQ(ape.Album(), "Ape Album");   // "album"
    EXPECT_EQ(ape.Track(), 7);
    EXPECT_EQ(ape.Comment(), std::string(250, 'c')); // 300 bytes stored
    EXPECT_EQ(ape.Copyright(), "Ape Copyright");     // the item after it
    ASSERT_TRUE(ape.Read(Fixture("apev2_id3v1.mp3")));
    EXPECT_EQ(ape.Title(), "Before v1");
    EXPECT_EQ(ape.Artist(), "");
}

TEST(APEtag, ItemsAreReadWithCare)
{
    testsupport::TempDir dir;
    TAPEtag ape;
    const std::vector<std::pair<std::string, std::string>> items = {{"Title", "Gr\xFC\xDF"
                                                                              "e"},
                                                                    {"Year", "1999"}};
    ASSERT_TRUE(ape.Read(Put(dir, ApeTag(1000, items))));
    EXPECT_EQ(ape.Title(), "Gr\xFC\xDF"
                           "e"); // version 1000: byte for byte
    ASSERT_TRUE(ape.Read(Put(dir, ApeTag(2000, items))));
    // Not UTF-8: each broken sequence becomes U+FFFD and the value goes on.
    EXPECT_EQ(ape.Title(), "Gr\xEF\xBF\xBD\xEF\xBF\xBD"
                           "e");
    EXPECT_EQ(ape.Year(), "1999");
    // Binary data under a text name is kept as text; a negative size ends the items.
    std::string negative = ByteBuilder().u32le(0xFFFFFFFF).u32le(0).text("Artist").u8(0).text("Lost").str();
    ASSERT_TRUE(ape.Read(Put(dir, ApeTag(1000,
                                         {{"title", "\x01"
                                                    "ab\x02\xFF"}},
                                         negative))));
    EXPECT_EQ(ape.Title(), "ab\x02\xFF"); // trimmed only at the ends
    EXPECT_EQ(ape.Artist(), "");
    // Anything but an ID3v1 tag after the footer hides the tag.
    ASSERT_TRUE(ape.Read(Put(dir, ApeTag(2000, items) + "trailing")));
    EXPECT_FALSE(ape.TagFound());
    EXPECT_EQ(ape.Title(), "");
    EXPECT_FALSE(ape.Read(Put(dir, std::string(100, 'a'))));
}
