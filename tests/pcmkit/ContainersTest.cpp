// Container parsing on files built byte by byte: sizes and orders that real
// writers get wrong, the messages the user sees, and what each layout plays.

#include "PcmkitTest.h"

#include "Decoders.h"
#include "Sources.h"

#include "support/ByteBuilder.h"
#include "support/MessageBoxRecorder.h"
#include "support/TempDir.h"

#include "platform/msgbox.h"

#include <gtest/gtest.h>

using namespace pcmkit;
using namespace pcmkit_test;
using testsupport::ByteBuilder;
using testsupport::MessageBoxRecorder;

namespace {

const char* const kDamaged = "Damaged file or unsupported format.";

ByteBuilder& Fmt(ByteBuilder& b, int tag, int channels, int rate, int bits)
{
    const int block = channels * bits / 8;
    return b.text("fmt ").u32le(16).u16le(tag).u16le(channels).u32le(rate).u32le(rate * block).u16le(block).u16le(bits);
}

std::string Riff(const std::string& chunks)
{
    return ByteBuilder().text("RIFF").u32le(static_cast<uint32_t>(4 + chunks.size())).text("WAVE").append(chunks).str();
}

// The message of the one box shown, or "" when none was.
std::string OnlyMessage(const MessageBoxRecorder& boxes)
{
    auto shown = boxes.boxes();
    if (shown.size() != 1)
        return shown.empty() ? "" : "(several boxes)";
    EXPECT_EQ(shown[0].caption, "Brevik Waveform Decoder v2.05a error");
    EXPECT_EQ(shown[0].icon(), MB_ICONERROR);
    return shown[0].text;
}

std::string Voc(const std::vector<std::pair<int, std::string>>& blocks)
{
    ByteBuilder b;
    b.text("Creative Voice File\x1A").u16le(26).u16le(0x010A).u16le(0x1129);
    for (const auto& [type, body] : blocks)
        b.u8(static_cast<unsigned>(type)).u24le(static_cast<uint32_t>(body.size())).append(body);
    return b.u8(0).str();
}

std::string Sound8(int timeConstant, const std::string& samples)
{
    return ByteBuilder().u8(static_cast<unsigned>(timeConstant)).u8(0).append(samples).str();
}

std::string Bytes(std::initializer_list<int> values)
{
    std::string s;
    for (int v : values)
        s += static_cast<char>(v);
    return s;
}

} // namespace

TEST(Riff, ChunkOrderAndSizes)
{
    SettingsScope settings;
    {
        MessageBoxRecorder boxes;
        ByteBuilder chunks;
        chunks.text("data").u32le(4).u32le(0);
        Fmt(chunks, 1, 1, 8000, 16);
        EXPECT_FALSE(DecodeBytes("a.wav", Riff(chunks.str())).opened);
        EXPECT_EQ(OnlyMessage(boxes), "File is damaged.");
    }
    {
        // Size 0: the data run to the end of the file.
        ByteBuilder chunks;
        Fmt(chunks, 1, 1, 8000, 16).text("data").u32le(0).u16le(1).u16le(2).u16le(3).u16le(4);
        Decoded d = DecodeBytes("a.wav", Riff(chunks.str()));
        EXPECT_EQ(Samples16(d.bytes), (std::vector<int16_t>{1, 2, 3, 4}));
    }
    {
        // A size past the end is cut to whole blocks of the rest (11 bytes: two 4-byte frames).
        ByteBuilder chunks;
        Fmt(chunks, 1, 2, 8000, 16).text("data").u32le(1000).u16le(1).u16le(2).u16le(3).u16le(4).fill(3, 9);
        Decoded d = DecodeBytes("a.wav", Riff(chunks.str()));
        EXPECT_EQ(d.lengthFrames, 2);
        EXPECT_EQ(Samples16(d.bytes), (std::vector<int16_t>{1, 2, 3, 4}));
    }
    {
        // The same with block alignment 0 cannot be cut.
        MessageBoxRecorder boxes;
        ByteBuilder chunks;
        chunks.text("fmt ").u32le(16).u16le(1).u16le(2).u32le(8000).u32le(32000).u16le(0).u16le(16);
        chunks.text("data").u32le(1000).zeros(10);
        EXPECT_FALSE(DecodeBytes("a.wav", Riff(chunks.str())).opened);
        EXPECT_EQ(OnlyMessage(boxes), "File is damaged.");
    }
    {
        // A format chunk of size 0 fails without a reason of its own.
        MessageBoxRecorder boxes;
        ByteBuilder chunks;
        chunks.text("fmt ").u32le(0).text("data").u32le(2).zeros(2);
        EXPECT_FALSE(DecodeBytes("a.wav", Riff(chunks.str())).opened);
        EXPECT_EQ(OnlyMessage(boxes), kDamaged);
    }
}

TEST(Riff, OddChunksAreFollowedByTheirPadByte)
{
    SettingsScope settings;
    ByteBuilder chunks;
    chunks.text("LIST").u32le(5).text("INFOx").u8(0);
    Fmt(chunks, 1, 1, 8000, 8);
    chunks.text("junk").u32le(1).u8(7).u8(0);
    chunks.text("data").u32le(3).u8(10).u8(20).u8(30);
    Decoded d = DecodeBytes("a.wav", Riff(chunks.str()));
    ASSERT_TRUE(d.opened);
    EXPECT_EQ(d.bytes, Bytes({10, 20, 30}));
}

TEST(Riff, ExtensibleFormats)
{
    SettingsScope settings;
    auto extensible = [](const std::string& subFormat, int bits) {
        ByteBuilder chunks;
        chunks.text("fmt ").u32le(40).u16le(0xFFFE).u16le(1).u32le(8000).u32le(8000 * bits / 8).u16le(bits / 8);
        chunks.u16le(static_cast<unsigned>(bits)).u16le(22).u16le(static_cast<unsigned>(bits)).u32le(4);
        chunks.append(subFormat).append(
            Bytes({0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}));
        chunks.text("data").u32le(6).u8(0x56).u8(0x34).u8(0x12).u8(0xAA).u8(0xBB).u8(0xCC);
        return Riff(chunks.str());
    };
    Decoded pcm = DecodeBytes("a.wav", extensible(std::string("\x01\x00\x00\x00", 4), 24));
    ASSERT_TRUE(pcm.opened);
    EXPECT_EQ(pcm.format.bits, 24);
    EXPECT_EQ(pcm.bytes, Bytes({0x56, 0x34, 0x12, 0xAA, 0xBB, 0xCC}));

    MessageBoxRecorder boxes;
    EXPECT_FALSE(DecodeBytes("a.wav", extensible(std::string("\x34\x12\x00\x00", 4), 24)).opened);
    EXPECT_EQ(OnlyMessage(boxes), "Missing codec, unable to open file.");
}

TEST(Riff, FormatsNoOutputCouldTakeAreRefused)
{
    SettingsScope settings;
    MessageBoxRecorder boxes;
    ByteBuilder chunks;
    Fmt(chunks, 1, 65, 8000, 16).text("data").u32le(130).zeros(130);
    EXPECT_FALSE(DecodeBytes("a.wav", Riff(chunks.str())).opened);
    EXPECT_EQ(OnlyMessage(boxes), kDamaged);
}

TEST(Iff, AiffLayouts)
{
    SettingsScope settings;
    auto aiff = [](const char* type, int bits, const std::string& comm, const std::string& ssnd, bool ssndFirst) {
        ByteBuilder commChunk;
        commChunk.text("COMM").u32be(static_cast<uint32_t>(18 + comm.size())).u16be(1).u32be(2);
        commChunk.u16be(static_cast<unsigned>(bits)).ext80be(8000).append(comm);
        ByteBuilder ssndChunk;
        ssndChunk.text("SSND").u32be(static_cast<uint32_t>(8 + ssnd.size())).zeros(8).append(ssnd);
        std::string body = ssndFirst ? ssndChunk.str() + commChunk.str() : commChunk.str() + ssndChunk.str();
        // Eight bytes of padding keep the sound data clear of the search limit.
        body += std::string(8, '\0');
        return ByteBuilder().text("FORM").u32be(static_cast<uint32_t>(4 + body.size())).text(type).append(body).str();
    };
    // 12-bit samples are stored left-justified in two bytes, big-endian.
    Decoded twelve = DecodeBytes("a.aif", aiff("AIFF", 12, "", Bytes({0x12, 0x30, 0xFF, 0xF0}), false));
    ASSERT_TRUE(twelve.opened);
    EXPECT_EQ(twelve.format.bits, 16);
    EXPECT_EQ(twelve.format.rate, 8000);
    EXPECT_EQ(Samples16(twelve.bytes), (std::vector<int16_t>{0x1230, -16}));

    MessageBoxRecorder boxes;
    EXPECT_FALSE(DecodeBytes("a.aif", aiff("AIFF", 16, "", Bytes({1, 2}), true)).opened);
    EXPECT_EQ(OnlyMessage(boxes), kDamaged);
    boxes.clear();
    EXPECT_FALSE(DecodeBytes("a.aifc", aiff("AIFC", 16, std::string("ACE2\0\0", 6), Bytes({1, 2}), false)).opened);
    EXPECT_EQ(OnlyMessage(boxes), "Compressed AIFC files other than 4-bit IMA ADPCM are not supported.");
    boxes.clear();
    EXPECT_FALSE(DecodeFile(testsupport::TestData("pcmkit/sowt.aifc")).opened);
    EXPECT_EQ(OnlyMessage(boxes), "Compressed AIFC files other than 4-bit IMA ADPCM are not supported.");
    Decoded none = DecodeBytes("a.aifc", aiff("AIFC", 8, std::string("NONE\0\0", 6), Bytes({0x00, 0x7F, 0x80}), false));
    EXPECT_EQ(none.bytes, Bytes({0x80, 0xFF, 0x00})); // signed 8-bit made unsigned
}

TEST(Iff, SvxBodies)
{
    SettingsScope settings;
    auto svx = [](const char* type, bool compressed, const std::string& before, const std::string& body,
                  uint32_t bodySize) {
        ByteBuilder chunks;
        chunks.text("VHDR").u32be(20).u32be(0).u32be(0).u32be(0).u16be(8000).u8(1).u8(compressed ? 1 : 0);
        chunks.u32be(0x10000).append(before).text("BODY").u32be(bodySize).append(body);
        return ByteBuilder()
            .text("FORM")
            .u32be(static_cast<uint32_t>(4 + chunks.size()))
            .text(type)
            .append(chunks.str())
            .str();
    };
    const std::string note = ByteBuilder().text("ANNO").u32be(3).text("abc").u8(0).str();
    Decoded plain = DecodeBytes("a.svx", svx("8SVX", false, note, Bytes({0, 0x7F, 0x80}), 3));
    EXPECT_EQ(plain.bytes, Bytes({0x80, 0xFF, 0x00}));

    Decoded delta = DecodeBytes("a.svx", svx("8SVX", true, "", std::string(4, '\x88'), 4));
    EXPECT_EQ(delta.bytes, std::string(8, '\x80'));

    // Some writers store the body size doubled; half of it ending at the form's end is accepted.
    Decoded doubled = DecodeBytes("a.svx", svx("8SVX", false, "", Bytes({1, 2}), 4));
    EXPECT_EQ(doubled.bytes, Bytes({0x81, 0x82}));

    // 16SV samples are taken in little-endian order.
    Decoded sixteen = DecodeBytes("a.svx", svx("16SV", false, "", Bytes({0x34, 0x12}), 2));
    EXPECT_EQ(Samples16(sixteen.bytes), (std::vector<int16_t>{0x1234}));
}

TEST(Au, HeadersAndSizes)
{
    SettingsScope settings;
    auto au = [](uint32_t header, uint32_t size, uint32_t encoding, uint32_t channels, const std::string& data) {
        ByteBuilder b;
        b.text(".snd").u32be(header).u32be(size).u32be(encoding).u32be(8000).u32be(channels);
        return b.zeros(header > 24 ? header - 24 : 0).append(data).str();
    };
    Decoded cut = DecodeBytes("a.au", au(28, 1000, 3, 1, Bytes({0x12, 0x34, 0x56, 0x78})));
    EXPECT_EQ(Samples16(cut.bytes), (std::vector<int16_t>{0x1234, 0x5678}));

    // A header alone plays as an empty stream.
    Decoded empty = DecodeBytes("a.au", au(24, 0xFFFFFFFF, 3, 1, ""));
    EXPECT_TRUE(empty.opened);
    EXPECT_EQ(empty.lengthFrames, 0);

    for (const std::string& bad : {au(20, 4, 3, 1, "abcd"), au(24, 0, 3, 1, "abcd"), au(24, 4, 99, 1, "abcd"),
                                   au(24, 4, 23, 5, "abcd"), au(24, 4, 3, 0, "abcd")}) {
        MessageBoxRecorder boxes;
        EXPECT_FALSE(DecodeBytes("a.au", bad).opened);
        EXPECT_EQ(OnlyMessage(boxes), kDamaged);
    }
}

TEST(Voc, LoopsPlayOutOnlyWhenExpanded)
{
    SettingsScope settings;
    const std::string file = Voc({{6, Bytes({3, 0})}, {1, Sound8(131, "abc")}, {7, ""}, {2, "de"}});
    Decoded looped = DecodeBytes("a.voc", file);
    ASSERT_TRUE(looped.opened);
    EXPECT_EQ(looped.format.rate, 8000);
    EXPECT_EQ(looped.bytes, "abcabcabcde");
    cfg_exploop = false;
    EXPECT_EQ(DecodeBytes("a.voc", file).bytes, "abcde");
}

TEST(Voc, SilenceIsExpandedOnlyWhenAskedAndOnlyOnceTheFormatIsKnown)
{
    SettingsScope settings;
    const std::string file =
        Voc({{3, Bytes({0x10, 0, 131})}, {1, Sound8(156, "ab")}, {3, Bytes({0xE7, 0x03, 156})}, {2, "c"}});
    EXPECT_EQ(DecodeBytes("a.voc", file).bytes, "abc");
    cfg_vocsil = true;
    Decoded expanded = DecodeBytes("a.voc", file);
    EXPECT_EQ(expanded.format.rate, 10000); // 1000000 / (256 - 156)
    EXPECT_EQ(expanded.bytes, "ab" + std::string(1000, '\x80') + "c");
}

TEST(Voc, SeeksLandOnTheRequestedByteAcrossBlocks)
{
    SettingsScope settings;
    std::string ramp;
    for (int i = 0; i < 100; ++i)
        ramp += static_cast<char>(i);
    decoder* d = OpenBytes("a.voc", Voc({{1, Sound8(131, ramp)}, {8, "skip"}, {2, ramp}}));
    abort_flag never{false};
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->ops->length(d), 200);
    char got[3];
    for (int target : {40, 150, 99, 5}) {
        ASSERT_EQ(d->ops->seek(d, target, nullptr, &never), 0);
        ASSERT_EQ(d->ops->read(d, got, 3, &never), 3);
        EXPECT_EQ(got[0], static_cast<char>(target % 100)) << target;
        EXPECT_EQ(got[2], static_cast<char>((target + 2) % 100)) << target;
    }
    EXPECT_NE(d->ops->seek(d, 201, nullptr, &never), 0);
    decoder_destroy(d);
}

TEST(Voc, EndlessNestedLoopsAreCapped)
{
    SettingsScope settings;
    decoder* d = OpenBytes(
        "a.voc", Voc({{6, Bytes({0xFF, 0xFF})}, {6, Bytes({0xFF, 0xFF})}, {1, Sound8(131, "x")}, {7, ""}, {7, ""}}));
    ASSERT_NE(d, nullptr);
    EXPECT_GE(d->ops->length(d), 65535);
    EXPECT_LE(d->ops->length(d), 1 << 20);
    decoder_destroy(d);
}

TEST(Voc, CodecsAndEmptyLists)
{
    SettingsScope settings;
    {
        MessageBoxRecorder boxes;
        EXPECT_FALSE(DecodeBytes("a.voc", Voc({{1, Bytes({131, 1, 1, 2, 3})}})).opened); // packed only
        EXPECT_EQ(OnlyMessage(boxes), kDamaged);
    }
    auto newFormat = [](int bits, int codec, const std::string& data) {
        return ByteBuilder()
            .u32le(8000)
            .u8(static_cast<unsigned>(bits))
            .u8(1)
            .u16le(static_cast<unsigned>(codec))
            .zeros(4)
            .append(data)
            .str();
    };
    Decoded sixteen = DecodeBytes("a.voc", Voc({{9, newFormat(16, 4, Bytes({0x34, 0x12}))}}));
    EXPECT_EQ(Samples16(sixteen.bytes), (std::vector<int16_t>{0x1234}));
    Decoded mulaw = DecodeBytes("a.voc", Voc({{9, newFormat(8, 7, Bytes({0xFF, 0x80}))}}));
    EXPECT_EQ(mulaw.format.bits, 16);
    EXPECT_EQ(Samples16(mulaw.bytes), (std::vector<int16_t>{0, 32124}));
}

TEST(Detection, ByContentWithTwoExceptions)
{
    SettingsScope settings;
    ByteBuilder chunks;
    Fmt(chunks, 1, 1, 22050, 8).text("data").u32le(1).u8(5).u8(0);
    const std::string wav = Riff(chunks.str());
    // A RIFF file named .aud is played as RIFF: its first word is not 22050.
    EXPECT_EQ(DecodeBytes("x.aud", wav).bytes, Bytes({5}));
    EXPECT_EQ(DecodeBytes("no extension", wav).bytes, Bytes({5}));
    // VOX goes by the extension alone, and only while that row is enabled.
    EXPECT_EQ(DecodeBytes("X.VOX", wav).format.rate, 6000);
    cfg_ext_mask = 63;
    MessageBoxRecorder boxes;
    EXPECT_FALSE(DecodeBytes("x.vox", "ABCD").opened);
    EXPECT_EQ(OnlyMessage(boxes), "Invalid file type.");
}

TEST(Aud, HeadersThatAreNeitherFormFail)
{
    SettingsScope settings;
    ByteBuilder old;
    old.u16le(22050).u32le(16).u8(0).u8(1);
    MessageBoxRecorder boxes;
    // A wrong chunk mark, then a chunk larger than 16384 bytes.
    EXPECT_FALSE(
        DecodeBytes(
            "a.aud",
            ByteBuilder(old).u16le(4).u16le(4).u32le(0xDEAF).u32le(0).u16le(4).u16le(4).u32le(0xBEEF).u32le(0).str())
            .opened);
    EXPECT_FALSE(DecodeBytes("a.aud", ByteBuilder(old).u16le(4).u16le(16381).u32le(0xDEAF).u32le(0).str()).opened);
    EXPECT_FALSE(DecodeBytes("a.aud", ByteBuilder().u16le(22050).zeros(18).str()).opened);
    EXPECT_EQ(boxes.count(), 3u);
}
