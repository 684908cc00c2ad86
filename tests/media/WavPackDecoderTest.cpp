// The WavPack reader beside the FFmpeg decoders on the same files from
// ffmpeg's encoder: the same samples, one for one, in every sample format the
// encoder writes; seeks that land on the same sample; the tags; and what it
// leaves to FFmpeg.

#include "decoder/MediaDecoder.h"
#include "DecodedSamples.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <wavpack/wavpack.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

using namespace media;
using mediatest::DecodeAll;

namespace {

class WavPackDecoder : public ::testing::Test {
  protected:
    testsupport::TempDir dir;

    // Noise, so that a dropped, moved or changed sample shows.
    std::string encode(const std::string& name, const std::string& options, int channels = 2)
    {
        const std::string path = dir.file(name);
        const std::string command = "ffmpeg -nostdin -v error -y -f lavfi -i 'anoisesrc=d=2:c=pink:a=0.5:r=44100' "
                                    "-ac " + std::to_string(channels) + " -c:a wavpack " + options + " '" + path + "'";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        return path;
    }
};

// An 8-bit stereo file from libwavpack's own encoder (ffmpeg's 8-bit files
// are read as silence by libwavpack, and as sound by FFmpeg alone): a second
// of a sine on the left and its negative on the right.
void WriteEightBitFile(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    auto write = [](void* f, void* data, int32_t bytes) {
        return int(std::fwrite(data, 1, std::size_t(bytes), static_cast<std::FILE*>(f)) == std::size_t(bytes));
    };
    WavpackContext* encoder = WavpackOpenFileOutput(write, file, nullptr);
    WavpackConfig config{};
    config.bytes_per_sample = 1;
    config.bits_per_sample = 8;
    config.num_channels = 2;
    config.channel_mask = 3;
    config.sample_rate = 44100;
    ASSERT_TRUE(WavpackSetConfiguration64(encoder, &config, 44100, nullptr));
    ASSERT_TRUE(WavpackPackInit(encoder));
    std::vector<int32_t> samples(44100 * 2);
    for (std::size_t i = 0; i < 44100; ++i) {
        samples[2 * i] = int32_t(std::lrint(100 * std::sin(double(i) * 0.0627)));
        samples[2 * i + 1] = -samples[2 * i];
    }
    ASSERT_TRUE(WavpackPackSamples(encoder, samples.data(), 44100));
    ASSERT_TRUE(WavpackFlushSamples(encoder));
    WavpackCloseFile(encoder);
    std::fclose(file);
}

} // namespace

TEST_F(WavPackDecoder, GivesFfmpegsSamplesInEverySampleFormat)
{
    struct Case {
        std::string name, options;
        int channels, bits;
    };
    const Case cases[] = {
        {"s16.wv", "-sample_fmt s16p", 2, 16},
        {"mono.wv", "-sample_fmt s16p", 1, 16},
        {"s32.wv", "-sample_fmt s32p", 2, 32},
        {"float.wv", "-sample_fmt fltp", 2, 32},
        {"tagged.wv", "-sample_fmt s16p -metadata title='Pink Noise' -metadata artist=Ada", 2, 16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = encode(c.name, c.options, c.channels);
        std::string why;
        std::unique_ptr<Decoder> ours = OpenWavPack({path, nullptr, 0}, why);
        ASSERT_TRUE(ours) << why;
        std::unique_ptr<Decoder> theirs = OpenMedia({path, nullptr, 0}, why);
        ASSERT_TRUE(theirs) << why;
        const StreamProperties& p = ours->description().properties;
        const StreamProperties& q = theirs->description().properties;
        EXPECT_EQ(p.format, q.format);
        EXPECT_EQ(p.codec, q.codec);
        EXPECT_EQ(p.sampleRate, 44100);
        EXPECT_EQ(p.channels, c.channels);
        EXPECT_EQ(p.outputChannels, q.outputChannels);
        EXPECT_EQ(p.bitsPerSample, c.bits);
        EXPECT_EQ(p.lengthMs, 2000);

        const std::vector<int16_t> a = DecodeAll(*ours), b = DecodeAll(*theirs);
        EXPECT_EQ(a.size(), std::size_t(88200 * c.channels));
        EXPECT_TRUE(a == b) << "sample for sample";
        ASSERT_TRUE(ours->seek(1234));
        const std::vector<int16_t> after = DecodeAll(*ours, 500);
        const std::size_t at = std::size_t(54419) * std::size_t(c.channels);
        EXPECT_TRUE(std::equal(after.begin(), after.end(), a.begin() + long(at))) << "a seek lands on its sample";
        EXPECT_FALSE(ours->seek(5000));
    }
    // Eight bits, moved up to sixteen.
    WriteEightBitFile(dir.file("u8.wv"));
    std::string why;
    std::unique_ptr<Decoder> eight = OpenWavPack({dir.file("u8.wv"), nullptr, 0}, why);
    ASSERT_TRUE(eight) << why;
    EXPECT_EQ(eight->description().properties.bitsPerSample, 8);
    const std::vector<int16_t> a = DecodeAll(*eight);
    ASSERT_EQ(a.size(), 88200u);
    EXPECT_EQ(a[2], 6 * 256);
    EXPECT_EQ(a[3], -6 * 256);
    std::unique_ptr<Decoder> theirs = OpenMedia({dir.file("u8.wv"), nullptr, 0}, why);
    ASSERT_TRUE(theirs) << why;
    EXPECT_TRUE(a == DecodeAll(*theirs));

    Description d;
    ASSERT_TRUE(DescribeWavPack({dir.file("tagged.wv"), nullptr, 0}, d, why)) << why;
    EXPECT_EQ(TagValue(d.tags, "title"), "Pink Noise");
    EXPECT_EQ(TagValue(d.tags, "artist"), "Ada");
}

TEST_F(WavPackDecoder, LeavesSurroundToFfmpegAndRefusesDamage)
{
    const std::string surround = encode("surround.wv", "", 6);
    std::string why;
    Description d;
    EXPECT_FALSE(DescribeWavPack({surround, nullptr, 0}, d, why));
    EXPECT_FALSE(why.empty());
    EXPECT_TRUE(DescribeMedia({surround, nullptr, 0}, d, why)) << why;

    const std::string noise = "wvpk" + std::string(4000, '\x33');
    EXPECT_FALSE(DescribeWavPack({"", reinterpret_cast<const uint8_t*>(noise.data()), noise.size()}, d, why));
    EXPECT_FALSE(why.empty());
}
