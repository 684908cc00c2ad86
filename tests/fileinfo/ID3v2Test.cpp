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

// Version 2.4: synch-safe frame sizes, format flags in the frame header's last byte.
std::string Frame24(const std::string& id, const std::string& data, uint8_t formatFlags = 0)
{
    return ByteBuilder().text(id).syncsafe32(static_cast<uint32_t>(data.size())).u8(0).u8(formatFlags).text(data).str();
}

std::string Frame22(const std::string& id, const std::string& data)
{
    return ByteBuilder().text(id).u24be(static_cast<uint32_t>(data.size())).text(data).str();
}

std::string TagOf(uint8_t version, uint8_t flags, const std::string& body, std::size_t padding = 20)
{
    ByteBuilder b;
    b.text("ID3").u8(version).u8(0).u8(flags).syncsafe32(static_cast<uint32_t>(body.size() + padding));
    return b.text(body).zeros(padding).fill(200, 0x55).str();
}

// What unsynchronisation does to bytes: a zero after every 0xFF that is followed by
// a zero or by a byte of 0xE0 or more (or that ends the data).
std::string Unsynchronised(const std::string& bytes)
{
    std::string out;
    for (std::size_t k = 0; k < bytes.size(); ++k) {
        out += bytes[k];
        if (uint8_t(bytes[k]) == 0xFF && (k + 1 == bytes.size() || bytes[k + 1] == 0 || uint8_t(bytes[k + 1]) >= 0xE0))
            out += '\0';
    }
    return out;
}

// Every text field in declaration order, the track number last.
std::vector<std::string> Fields(const TID3v2& t)
{
    return {t.Title(),    t.Artist(),  t.Album(),     t.Year(),     t.Genre(), t.Comment(),
            t.Composer(), t.Encoder(), t.Copyright(), t.Language(), t.Link(),  std::to_string(t.Track())};
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
    // Version 2.4 as the same tagger writes it by default.
    ASSERT_TRUE(tag.Read(Fixture("lame_vbr.mp3")));
    EXPECT_EQ(tag.TagVersion(), 4);
    EXPECT_EQ(tag.TagSize(), 1092);
    EXPECT_EQ(tag.Title(), "Vbr Title");
    EXPECT_EQ(tag.Artist(), "Vbr Artist");
    EXPECT_EQ(tag.Composer(), "");
}

TEST(ID3v2, Version24And22TextsInEveryEncoding)
{
    using Texts = std::vector<std::string>;
    TID3v2 tag;
    // 2.4 as mid3v2 writes it: all UTF-8, the year inside a recording date.
    ASSERT_TRUE(tag.Read(Fixture("id3v24_mid3v2.mp3")));
    EXPECT_EQ(tag.TagVersion(), 4);
    EXPECT_EQ(tag.TagSize(), 10 * 128 + 32 + 10);
    EXPECT_EQ(Fields(tag), (Texts{"Grüße aus Köln", "Ärzte ♫", "Album €", "2019", "Jazz", "Ünïcode comment",
                                  "Compositeur", "Encodeur", "2019 Ça", "fra", "http://example.org/v24", "4"}));
    // UTF-16 with a byte-order mark, UTF-16BE, Latin-1 kept as stored; of a list, the first;
    // "(8)Jazz"; a time after the date; nothing left of the previous file.
    ASSERT_TRUE(tag.Read(Fixture("id3v24_utf16.mp3")));
    EXPECT_EQ(Fields(tag), (Texts{"Wide Ω title", "Big Ënd", "Caf\xE9", "1998", "Jazz", "Wide comment ✓", "Komponist",
                                  "", "", "", "http://example.org/wide", "12"}));
    // 2.2: three-letter frames, a UTF-16 title.
    ASSERT_TRUE(tag.Read(Fixture("id3v22_mutagen.mp3")));
    EXPECT_EQ(tag.TagVersion(), 2);
    EXPECT_EQ(Fields(tag), (Texts{"Two Two Ω", "Old Artist", "Old Album", "1999", "Pop", "Old comment", "Old Composer",
                                  "Old Encoder", "1999 Old", "eng", "http://example.org/v22", "5"}));

    // A compressed 2.2 tag has no scheme to undo: size, no texts.
    testsupport::TempDir dir;
    ASSERT_TRUE(tag.Read(Put(dir, TagOf(2, 0x40, Frame22("TT2", "\0Packed"s)))));
    EXPECT_EQ(tag.TagSize(), 10 + 13 + 20);
    EXPECT_EQ(tag.Title(), "");
}

TEST(ID3v2, UnsynchronisationIsUndoneBeforeTheTextsAreRead)
{
    testsupport::TempDir dir;
    TID3v2 tag;
    const std::string wideTitle = "\1\xFF\xFEW\0\xFF\0"s; // "W\u00FF": both marks gain a zero
    const std::string wideBE = "\2\0\xFF\x20\xAC"s;       // "\u00FF€"

    // 2.2: the whole tag, frame headers included; sizes count the restored bytes.
    std::string body =
        Frame22("TT2", wideTitle) + Frame22("TP1", "\0" + std::string(254, 'a')) + Frame22("TAL", "\0Al"s);
    ASSERT_TRUE(tag.Read(Put(dir, TagOf(2, 0x80, Unsynchronised(body)))));
    EXPECT_EQ(tag.Title(), "W\u00FF");
    EXPECT_EQ(tag.Artist(), std::string(249, 'a'));
    EXPECT_EQ(tag.Album(), "Al") << "the 255-byte size (0xFF) of the frame before was read whole";

    // 2.4: by the tag's flag or each frame's own; sizes count the stored bytes.
    body = Frame24("TIT2", Unsynchronised(wideTitle)) + Frame24("TPE1", Unsynchronised(wideBE));
    ASSERT_TRUE(tag.Read(Put(dir, TagOf(4, 0x80, body))));
    EXPECT_EQ(tag.Title(), "W\u00FF");
    EXPECT_EQ(tag.Artist(), "\u00FF€");
    // A frame's own flag, with a group byte and a data length in front of the text.
    body = Frame24("TIT2", Unsynchronised("\x07\0\0\0\x07"s + wideTitle), 0x40 | 0x02 | 0x01) +
           Frame24("TPE1", "\0A\xFF\0B"s);
    ASSERT_TRUE(tag.Read(Put(dir, TagOf(4, 0, body))));
    EXPECT_EQ(tag.Title(), "W\u00FF");
    EXPECT_EQ(tag.Artist(), "A\xFF") << "a frame without the flag is read as stored";
}

TEST(ID3v2, Version24Limits)
{
    testsupport::TempDir dir;
    TID3v2 tag;
    // 250 bytes kept; the cut splits a two-byte character, which is left out.
    const std::string utf8 = "\3" + std::string(248, 'x') + "\xC3\xA9\xC3\xA9";
    // Compressed and encrypted frames are passed over; the next frame is still found.
    std::string body = Frame24("TIT2", utf8) + Frame24("TPE1", "\0Packed"s, 0x08) + Frame24("TALB", "\0Secret"s, 0x04) +
                       Frame24("TCON", "\0Found"s);
    ASSERT_TRUE(tag.Read(Put(dir, TagOf(4, 0, body))));
    EXPECT_EQ(tag.Title(), std::string(248, 'x'));
    EXPECT_EQ(tag.Artist(), "");
    EXPECT_EQ(tag.Album(), "");
    EXPECT_EQ(tag.Genre(), "Found");

    // An extended header is passed over; a footer belongs to the tag.
    const std::string extended = ByteBuilder().syncsafe32(10).u8(1).u8(0x20).zeros(4).str();
    std::string bytes = TagOf(4, 0x40 | 0x10, extended + Frame24("TIT2", "\3Behind"s));
    ASSERT_TRUE(tag.Read(Put(dir, bytes)));
    EXPECT_EQ(tag.Title(), "Behind");
    EXPECT_EQ(tag.TagSize(), 10 + int(extended.size()) + 17 + 20 + 10);
    // An extended header too short to be one ends the scan.
    ASSERT_TRUE(tag.Read(Put(dir, TagOf(4, 0x40, ByteBuilder().syncsafe32(2).str() + Frame24("TIT2", "\3Lost"s)))));
    EXPECT_EQ(tag.Title(), "");

    // A frame that claims more than the file: what there is, and the scan ends.
    bytes = TagOf(4, 0,
                  Frame24("TIT2", "\0Head"s) + ByteBuilder().text("TPE1").syncsafe32(0x0FFFFFFF).u16be(0).str() +
                      "\0Tail"s);
    ASSERT_TRUE(tag.Read(Put(dir, bytes)));
    EXPECT_EQ(tag.Title(), "Head");
    EXPECT_EQ(tag.Artist(), "Tail");
    // Encodings the format does not know read as single bytes; an empty frame gives nothing.
    ASSERT_TRUE(tag.Read(Put(dir, TagOf(4, 0, Frame24("TIT2", "\x09Odd"s) + Frame24("TPE1", "")))));
    EXPECT_EQ(tag.Title(), "Odd");
    EXPECT_EQ(tag.Artist(), "");
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
