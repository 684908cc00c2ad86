#include "fileinfo/ID3v2.h"
#include "Fixtures.h"

#include <gtest/gtest.h>

using fileinfo::TID3v2;
using fixtures::Fixture;
using fixtures::Put;
using testsupport::ByteBuilder;
using namespace std::string_literals;

namespace {

std::string Frame(const std::string& id, const std::string& data)
{
    return ByteBuilder().text(id).u32be(static_cast<uint32_t>(data.size())).u16be(0).text(data).str();
}

// A version 2.3 tag around the frames, padding, then some audio bytes.
std::string Tag(const std::string& frames, std::size_t padding = 20)
{
    ByteBuilder b;
    b.text("ID3\3\0\0"s).syncsafe32(static_cast<uint32_t>(frames.size() + padding));
    return b.text(frames).zeros(padding).fill(200, 0x55).str();
}

} // namespace

TEST(ID3v2, ReadsTheFramesOfTwoTaggers)
{
    TID3v2 tag;
    ASSERT_TRUE(tag.Read(Fixture("lame_cbr128.mp3")));
    EXPECT_EQ(tag.TagVersion(), 3);
    EXPECT_EQ(tag.TagSize(), 1799);
    EXPECT_EQ(tag.Title(), "Cbr Title");
    EXPECT_EQ(tag.Track(), 3);  // "3/12"
    EXPECT_EQ(tag.Genre(), ""); // "(17)" alone
    EXPECT_EQ(tag.Comment(), "Cbr comment");
    EXPECT_EQ(tag.Composer(), "Cbr Composer");
    EXPECT_EQ(tag.Language(), "eng");
    // A UTF-16 title; a named genre; a track over 255; a comment description; a link.
    ASSERT_TRUE(tag.Read(Fixture("id3v23_mutagen.mp3")));
    EXPECT_EQ(tag.Title(), "Wide");
    EXPECT_EQ(tag.Artist(), "Narrow");
    EXPECT_EQ(tag.Genre(), "Rock");
    EXPECT_EQ(tag.Track(), 300 % 256);
    EXPECT_EQ(tag.Comment(), "Mutagen comment");
    EXPECT_EQ(tag.Link(), "http://example.org/");
    EXPECT_EQ(tag.Composer(), ""); // nothing left of the previous file
    // Version 2.4: size, no texts.
    ASSERT_TRUE(tag.Read(Fixture("lame_vbr.mp3")));
    EXPECT_EQ(tag.TagVersion(), 4);
    EXPECT_EQ(tag.TagSize(), 1092);
    EXPECT_EQ(tag.Title(), "");
}

TEST(ID3v2, Utf16TextsInEitherByteOrderBecomeUtf8)
{
    testsupport::TempDir dir;
    TID3v2 tag;
    const std::string frames = Frame("TIT2", "\1\xFE\xFF\0C\0\xE9\x20\xAC\0\0"s) + // big-endian "Cé€"
                               Frame("TPE1", "\1\xFF\xFEO\0k\0"s) +                // little-endian, no end
                               Frame("COMM", "\1eng\xFF\xFE"
                                             "d\0\0\0\xFF\xFEx\0\0\0"s) + // description "d", text "x"
                               Frame("WXXX", "\1\xFF\xFE"
                                             "d\0\0\0http://a/"s) +
                               Frame("TALB", "\1"s); // no text at all
    ASSERT_TRUE(tag.Read(Put(dir, Tag(frames))));
    EXPECT_EQ(tag.Title(), "C\xC3\xA9\xE2\x82\xAC");
    EXPECT_EQ(tag.Artist(), "Ok");
    EXPECT_EQ(tag.Comment(), "x");
    EXPECT_EQ(tag.Link(), "http://a/");
    EXPECT_EQ(tag.Album(), "");
}

TEST(ID3v2, SizeBeyondTheFileAndUnmaskedSizeBytes)
{
    testsupport::TempDir dir;
    TID3v2 tag;
    std::string bytes = Tag(Frame("TIT2", "\0Title"s));
    bytes[6] = 0x7F;
    ASSERT_TRUE(tag.Read(Put(dir, bytes)));
    EXPECT_TRUE(tag.TagFound());
    EXPECT_EQ(tag.TagSize(), 0);
    EXPECT_EQ(tag.Title(), "");
    bytes = Tag(Frame("TIT2", "\0Title"s), 0);
    bytes[9] = static_cast<char>(0x80 | bytes[9]); // the top bit counts: 128 bytes more
    ASSERT_TRUE(tag.Read(Put(dir, bytes)));
    EXPECT_EQ(tag.TagSize(), 10 + 16 + 128);
    EXPECT_EQ(tag.Title(), "Title");
}

TEST(ID3v2, FrameScanLimits)
{
    testsupport::TempDir dir;
    TID3v2 tag;
    // 1000 bytes keep 250, and the next frame is still found; a later frame replaces an earlier one.
    ASSERT_TRUE(tag.Read(Put(
        dir, Tag(Frame("TALB", '\0' + std::string(999, 'a')) + Frame("TIT2", "\0One"s) + Frame("TIT2", "\0Two"s)))));
    EXPECT_EQ(tag.Album(), std::string(249, 'a'));
    EXPECT_EQ(tag.Title(), "Two");
    // A size with the top bit set ends the scan; what came before stays.
    std::string negative = ByteBuilder().text("TPE1").u32be(0xFFFFFFF0).u16be(0).text("\0x"s).str();
    ASSERT_TRUE(tag.Read(Put(dir, Tag(Frame("TIT2", "\0Kept"s) + negative + Frame("TALB", "\0Lost"s)))));
    EXPECT_EQ(tag.Title(), "Kept");
    EXPECT_EQ(tag.Album(), "");
    // An extended header starts with a zero byte and ends the scan at once.
    ASSERT_TRUE(tag.Read(Put(dir, Tag(ByteBuilder().u32be(6).zeros(6).str() + Frame("TIT2", "\0Lost"s)))));
    EXPECT_EQ(tag.Title(), "");
}

TEST(ID3v2, CommentTexts)
{
    testsupport::TempDir dir;
    TID3v2 tag;
    ASSERT_TRUE(tag.Read(Put(dir, Tag(Frame("COMM", "\0eng\0Plain"s)))));
    EXPECT_EQ(tag.Comment(), "Plain"); // empty description
    // No zero byte in the first 250 bytes after the language: nothing more is taken away.
    ASSERT_TRUE(tag.Read(Put(dir, Tag(Frame("COMM", "\0eng" + std::string(300, 'c'))))));
    EXPECT_EQ(tag.Comment(), std::string(246, 'c'));
    // A short text without a description terminator: the buffer's zero padding ends the description.
    ASSERT_TRUE(tag.Read(Put(dir, Tag(Frame("COMM", "\0engText"s)))));
    EXPECT_EQ(tag.Comment(), "");
    EXPECT_FALSE(tag.Read(Put(dir, "ID3\3\0\0\0\0\0"s))); // nine bytes
}
