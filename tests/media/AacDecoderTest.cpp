// The AAC reader beside the FFmpeg decoders on the same files from ffmpeg's
// encoder, in MP4 and in ADTS: the same rate, channels and length, the same
// samples in time (the two decoders round a little differently), seeks that
// land on the same sample, the tags, and what it leaves to FFmpeg.

#include "decoder/MediaDecoder.h"
#include "DecodedSamples.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

using namespace media;
using mediatest::DecodeAll;

namespace {

class AacDecoder : public ::testing::Test {
  protected:
    testsupport::TempDir dir;

    // A chord that moves, so that a misplaced sample shows.
    std::string encode(const std::string& name, const std::string& options, int channels = 2, int rate = 44100,
                       double seconds = 3.0)
    {
        const std::string path = dir.file(name);
        const std::string command =
            "ffmpeg -nostdin -v error -y -f lavfi -i 'aevalsrc=sin(2*PI*(330+40*sin(t))*t)*0.4+sin(2*PI*523*t)*0.2:s=" +
            std::to_string(rate) + ":d=" + std::to_string(seconds) + "' -ac " + std::to_string(channels) + " " +
            options + " '" + path + "'";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        return path;
    }
};

// The largest difference of two sample runs over [from, to).
int largestDifference(const std::vector<int16_t>& a, const std::vector<int16_t>& b, std::size_t from, std::size_t to)
{
    int largest = 0;
    for (std::size_t i = from; i < to; ++i)
        largest = std::max(largest, std::abs(int(a[i]) - int(b[i])));
    return largest;
}

// How far the two decoders part (-60 dB); a sample off in time differs by hundreds.
constexpr int kRoundingLsb = 32;

} // namespace

TEST_F(AacDecoder, PlaysWhatFfmpegPlaysInRateChannelsLengthAndTime)
{
    struct Case {
        std::string name, options;
        int channels, rate;
    };
    const Case cases[] = {
        {"stereo.m4a", "-c:a aac -b:a 128k", 2, 44100},
        // The index at the front, as streaming files have it.
        {"front.m4a", "-c:a aac -b:a 96k -movflags +faststart", 2, 48000},
        {"mono.m4a", "-c:a aac -b:a 64k", 1, 22050},
        {"video-named.mp4", "-c:a aac -b:a 128k", 2, 44100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = encode(c.name, c.options, c.channels, c.rate);
        std::string why;
        std::unique_ptr<Decoder> ours = OpenAac({path, nullptr, 0}, why);
        ASSERT_TRUE(ours) << why;
        std::unique_ptr<Decoder> theirs = OpenMedia({path, nullptr, 0}, why);
        ASSERT_TRUE(theirs) << why;
        const StreamProperties& p = ours->description().properties;
        const StreamProperties& q = theirs->description().properties;
        EXPECT_EQ(p.sampleRate, c.rate);
        EXPECT_EQ(p.channels, c.channels);
        EXPECT_EQ(p.outputChannels, c.channels);
        EXPECT_EQ(p.outputChannels, q.outputChannels);
        EXPECT_EQ(p.lengthMs, q.lengthMs);
        EXPECT_EQ(p.format, q.format);
        EXPECT_EQ(p.codec, q.codec);
        EXPECT_NEAR(p.bitrateKbps, q.bitrateKbps, 2);

        // Both drop the encoder's delay; FFmpeg's decoding goes on through the
        // padding of the last frame, which the file's edit list leaves out.
        const std::vector<int16_t> a = DecodeAll(*ours), b = DecodeAll(*theirs);
        ASSERT_EQ(a.size(), std::size_t(3 * c.rate * c.channels));
        ASSERT_GE(b.size(), a.size());
        // Away from the ends, where the two treat the first and the padded last frame apart.
        const std::size_t edge = 2048 * std::size_t(c.channels);
        EXPECT_LE(largestDifference(a, b, edge, a.size() - edge), kRoundingLsb);

        // A seek lands on the sample FFmpeg's decoding has there.
        ASSERT_TRUE(ours->seek(1234));
        std::vector<int16_t> after(4096 * std::size_t(c.channels));
        const int got = ours->read(after.data(), 4096);
        ASSERT_EQ(got, 4096);
        const std::size_t at = std::size_t(int64_t(1234) * c.rate / 1000) * std::size_t(c.channels);
        const std::vector<int16_t> expected(b.begin() + long(at), b.begin() + long(at + after.size()));
        EXPECT_LE(largestDifference(after, expected, 0, after.size()), kRoundingLsb);
        // And reading runs on to the end from there.
        EXPECT_EQ(DecodeAll(*ours).size() + after.size(), a.size() - at);
        EXPECT_FALSE(ours->seek(p.lengthMs + 1000));
    }
}

// ADTS says nothing of the encoder's delay: the first frame, which only
// starts the decoder, is left out, where FFmpeg plays it.
TEST_F(AacDecoder, AdtsPlaysWhatFfmpegPlaysPastTheFirstFrame)
{
    for (const int channels : {1, 2}) {
        SCOPED_TRACE(channels);
        const std::string path = encode("raw" + std::to_string(channels) + ".aac", "-c:a aac -f adts", channels);
        std::string why;
        std::unique_ptr<Decoder> ours = OpenAac({path, nullptr, 0}, why);
        ASSERT_TRUE(ours) << why;
        std::unique_ptr<Decoder> theirs = OpenMedia({path, nullptr, 0}, why);
        ASSERT_TRUE(theirs) << why;
        const StreamProperties& p = ours->description().properties;
        EXPECT_EQ(p.format, theirs->description().properties.format);
        EXPECT_EQ(p.sampleRate, 44100);
        EXPECT_EQ(p.outputChannels, channels);
        EXPECT_NEAR(p.lengthMs, 3000, 24) << "whole frames";

        const std::vector<int16_t> a = DecodeAll(*ours), b = DecodeAll(*theirs);
        const std::size_t firstFrame = 1024 * std::size_t(channels);
        ASSERT_EQ(a.size() + firstFrame, b.size());
        EXPECT_EQ(int64_t(a.size() / std::size_t(channels)) * 1000 / 44100, p.lengthMs);
        const std::vector<int16_t> later(b.begin() + long(firstFrame), b.end());
        const std::size_t edge = 2048 * std::size_t(channels);
        EXPECT_LE(largestDifference(a, later, edge, a.size() - edge), kRoundingLsb);

        ASSERT_TRUE(ours->seek(2000));
        std::vector<int16_t> after(1000 * std::size_t(channels));
        ASSERT_EQ(ours->read(after.data(), 1000), 1000);
        const std::size_t at = std::size_t(88200) * std::size_t(channels);
        const std::vector<int16_t> expected(a.begin() + long(at), a.begin() + long(at + after.size()));
        EXPECT_LE(largestDifference(after, expected, 0, after.size()), kRoundingLsb);
    }
}

namespace {

uint32_t bigEndian(const std::string& bytes, std::size_t at)
{
    return uint32_t(uint8_t(bytes[at])) << 24 | uint32_t(uint8_t(bytes[at + 1])) << 16 |
           uint32_t(uint8_t(bytes[at + 2])) << 8 | uint8_t(bytes[at + 3]);
}

std::string bigEndian(uint32_t value)
{
    return {char(value >> 24), char(value >> 16), char(value >> 8), char(value)};
}

std::string box(const char* type, const std::string& body)
{
    return bigEndian(uint32_t(8 + body.size())) + type + body;
}

// An ffmpeg file (index at the end) made as iTunes makes its own: no edit
// list (its box renamed "free"), the delay and length in an iTunSMPB item
// added to the end of the tags, when gapless is given.
std::string asFromItunes(std::string bytes, const std::string& gapless)
{
    const std::size_t edits = bytes.rfind("edts");
    bytes.replace(edits, 4, "free");
    if (gapless.empty())
        return bytes;
    const std::string zero(4, '\0');
    const std::string item =
        box("----", box("mean", zero + "com.apple.iTunes") + box("name", zero + "iTunSMPB") +
                        box("data", bigEndian(1) + zero + gapless));
    const std::size_t ilst = bytes.rfind("ilst") - 4;
    bytes.insert(ilst + bigEndian(bytes, ilst), item);
    for (const char* parent : {"ilst", "meta", "udta", "moov"}) {
        const std::size_t at = bytes.rfind(parent) - 4;
        bytes.replace(at, 4, bigEndian(bigEndian(bytes, at) + uint32_t(item.size())));
    }
    return bytes;
}

} // namespace

// Files from iTunes have no edit list: their gapless data says where the sound
// starts and ends, and the reader plays what the edit list would give.
TEST_F(AacDecoder, ItunesGaplessDataTrimsAsAnEditListDoes)
{
    const std::string path = encode("edited.m4a", "-c:a aac");
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string itunes = asFromItunes(bytes, " 00000000 00000400 000001D4 00000000000204CC 00000000 00000000");
    const std::string bare = asFromItunes(bytes, "");
    std::string why;
    auto open = [&why](const std::string& file) {
        return OpenAac({"", reinterpret_cast<const uint8_t*>(file.data()), file.size()}, why);
    };
    std::unique_ptr<Decoder> edited = open(bytes), gapless = open(itunes), untrimmed = open(bare);
    ASSERT_TRUE(edited && gapless && untrimmed) << why;
    EXPECT_EQ(gapless->description().properties.lengthMs, 3000);
    const std::vector<int16_t> expected = DecodeAll(*edited);
    ASSERT_EQ(expected.size(), 132300u * 2);
    EXPECT_TRUE(DecodeAll(*gapless) == expected);
    // Without either, the last frame's padding plays too.
    EXPECT_GT(untrimmed->description().properties.lengthMs, 3000);
    EXPECT_GT(DecodeAll(*untrimmed).size(), expected.size() + 512 * 2);
}

TEST_F(AacDecoder, TellsTheTagsAndLeavesOtherTracksToFfmpeg)
{
    const std::string tagged =
        encode("tagged.m4a", "-c:a aac -metadata title='Kilo Hertz' -metadata artist='Ada' -metadata album='Tones' "
                             "-metadata track=3/12 -metadata date=2024 -metadata genre='Test Tones'");
    std::string why;
    Description d;
    ASSERT_TRUE(DescribeAac({tagged, nullptr, 0}, d, why)) << why;
    EXPECT_EQ(TagValue(d.tags, "title"), "Kilo Hertz");
    EXPECT_EQ(TagValue(d.tags, "artist"), "Ada");
    EXPECT_EQ(TagValue(d.tags, "album"), "Tones");
    EXPECT_EQ(TagValue(d.tags, "track"), "3/12");
    EXPECT_EQ(TagValue(d.tags, "date"), "2024");
    EXPECT_EQ(TagValue(d.tags, "genre"), "Test Tones");
    EXPECT_NEAR(d.properties.lengthMs, 3000, 1);

    // Not for this reader: FFmpeg plays them (fragmented files keep their frames
    // outside the index).
    const std::string others[] = {encode("lossless.m4a", "-c:a alac"), encode("surround.m4a", "-c:a aac", 6),
                                  encode("fragments.m4a", "-c:a aac -movflags frag_keyframe+empty_moov"),
                                  encode("tagged.aac", "-c:a aac -f adts -write_id3v2 1 -metadata title=T")};
    for (const std::string& path : others) {
        SCOPED_TRACE(path);
        why.clear();
        EXPECT_FALSE(DescribeAac({path, nullptr, 0}, d, why));
        EXPECT_FALSE(why.empty());
        EXPECT_TRUE(DescribeMedia({path, nullptr, 0}, d, why)) << why;
    }
}

TEST_F(AacDecoder, ACutFilePlaysWhatItHoldsAndDamageIsRefused)
{
    // The index at the front and the sound cut off two thirds in, as a download that broke off.
    const std::string whole = encode("whole.m4a", "-c:a aac -movflags +faststart", 2, 44100, 6.0);
    std::ifstream in(whole, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string cutPath = dir.file("cut.m4a");
    std::ofstream(cutPath, std::ios::binary) << bytes.substr(0, bytes.size() * 2 / 3);
    std::string why;
    std::unique_ptr<Decoder> cut = OpenAac({cutPath, nullptr, 0}, why);
    ASSERT_TRUE(cut) << why;
    const double seconds = double(DecodeAll(*cut).size() / 2) / 44100;
    EXPECT_GT(seconds, 3.0);
    EXPECT_LT(seconds, 4.5);

    // The same bytes from memory, with every length in the index made huge.
    std::string broken = bytes;
    for (const char* table : {"stsz", "stco", "stts", "stsc"}) {
        const std::size_t at = broken.find(table);
        ASSERT_NE(at, std::string::npos);
        broken.replace(at + 8, 4, "\x7f\xff\xff\xff");
    }
    Description d;
    const MediaInput memory{"", reinterpret_cast<const uint8_t*>(broken.data()), broken.size()};
    EXPECT_FALSE(DescribeAac(memory, d, why));
    EXPECT_FALSE(why.empty());
    // Not an MP4 at all.
    const std::string noise(4096, '\x55');
    EXPECT_FALSE(DescribeAac({"", reinterpret_cast<const uint8_t*>(noise.data()), noise.size()}, d, why));
}
