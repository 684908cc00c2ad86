#include "fileinfo/ID3v1.h"
#include "Fixtures.h"

#include <gtest/gtest.h>

using fileinfo::TID3v1;
using fixtures::Fixture;
using fixtures::Put;
using namespace std::string_literals;

namespace {

// Audio bytes, then "TAG" title(30) artist(30) album(30) year(4) comment(30) genre(1).
std::string Tagged(const std::string& title, const std::string& comment, uint8_t genre, std::size_t audio = 40)
{
    testsupport::ByteBuilder b;
    b.fill(audio, 0x55).text("TAG").fixed(title, 30).fixed("Artist", 30).fixed("Album", 30).fixed("1999", 4);
    return b.fixed(comment, 30).u8(genre).str();
}

} // namespace

TEST(ID3v1, ReadsTheTaggersTagAndClearsForTheNextFile)
{
    TID3v1 tag;
    ASSERT_TRUE(tag.Read(Fixture("lame_cbr128.mp3")));
    EXPECT_EQ(tag.TagVersion(), 2);
    EXPECT_EQ(tag.Title(), "Cbr Title");
    EXPECT_EQ(tag.Comment(), "Cbr comment");
    EXPECT_EQ(tag.Track(), 3);
    EXPECT_EQ(tag.GenreName(), "Rock");
    ASSERT_TRUE(tag.Read(Fixture("lame_vbr.mp3")));
    EXPECT_FALSE(tag.TagFound());
    EXPECT_EQ(tag.Title(), "");
    EXPECT_EQ(tag.TagVersion(), 1);
    EXPECT_EQ(tag.GenreName(), ""); // index 255
}

TEST(ID3v1, VersionFollowsBytes125And126)
{
    testsupport::TempDir dir;
    TID3v1 tag;
    // A blank at 125 and a letter at 126 is read as a track number: the comment loses both bytes.
    ASSERT_TRUE(tag.Read(Put(dir, Tagged("T", std::string(28, 'c') + " A", 3))));
    EXPECT_EQ(tag.TagVersion(), 2);
    EXPECT_EQ(tag.Comment(), std::string(28, 'c'));
    EXPECT_EQ(tag.Track(), 'A');
    // Both zero: version 1.0 with the whole 30-byte comment slot.
    ASSERT_TRUE(tag.Read(Put(dir, Tagged("T", "comment", 3))));
    EXPECT_EQ(tag.TagVersion(), 1);
    EXPECT_EQ(tag.Track(), 0);
    ASSERT_TRUE(tag.Read(Put(dir, Tagged("Hello"s + '\0' + "abc  ", std::string(30, 'c'), 3))));
    EXPECT_EQ(tag.Comment(), std::string(30, 'c'));
    EXPECT_EQ(tag.Title(), "Hello\0abc"s); // embedded zero bytes stay
}

TEST(ID3v1, GenreTableHasTheOldSpellings)
{
    const std::pair<int, const char*> names[] = {
        {0, "Blues"},        {14, "R&B"},      {40, "AlternRock"},   {67, "Psychadelic"},
        {78, "Rock & Roll"}, {80, "Folk"},     {85, "Bebob"},        {92, "Progessive Rock"},
        {123, "A capella"},  {132, "BritPop"}, {144, "Trash Metal"}, {146, "JPop"},
        {147, "Synthpop"},   {148, ""}};
    for (auto [index, name] : names)
        EXPECT_EQ(TID3v1::Genre(index), name) << index;
}

TEST(ID3v1, ShortFiles)
{
    testsupport::TempDir dir;
    TID3v1 tag;
    EXPECT_TRUE(tag.Read(Put(dir, Tagged("Bare", "", 1, 0)))); // exactly 128 bytes
    EXPECT_EQ(tag.Title(), "Bare");
    EXPECT_FALSE(tag.Read(Put(dir, Tagged("Bare", "", 1, 0).substr(1))));
    EXPECT_FALSE(tag.TagFound());
}
