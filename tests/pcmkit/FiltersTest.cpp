// The real-time conversions: widths, downmix, floating point with and
// without dither, and the positions they report when seeking.

#include "PcmkitTest.h"

#include "Sources.h"

#include "support/ByteBuilder.h"
#include "support/MessageBoxRecorder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace pcmkit;
using namespace pcmkit_test;
using testsupport::ByteBuilder;

namespace {

std::string Wav(int tag, int channels, int bits, const std::string& data)
{
    const int block = channels * bits / 8;
    ByteBuilder b;
    b.text("RIFF").u32le(static_cast<uint32_t>(36 + data.size())).text("WAVEfmt ").u32le(16).u16le(tag);
    b.u16le(channels).u32le(8000).u32le(8000 * block).u16le(block).u16le(bits);
    return b.text("data").u32le(static_cast<uint32_t>(data.size())).append(data).str();
}

std::string FloatAu(int channels, const std::vector<float>& samples)
{
    ByteBuilder b;
    b.text(".snd").u32be(24).u32be(static_cast<uint32_t>(samples.size() * 4)).u32be(6).u32be(8000).u32be(channels);
    for (float s : samples)
        b.f32be(s);
    return b.str();
}

std::vector<int32_t> Samples32(const std::string& bytes)
{
    std::vector<int32_t> samples(bytes.size() / 4);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 4);
    return samples;
}

} // namespace

TEST(Filters, WidthConversions)
{
    SettingsScope settings;
    const std::string eight = Wav(1, 1, 8, std::string("\x00\xFF\x80", 3));
    EXPECT_EQ(DecodeBytes("a.wav", eight).format.bits, 8);
    cfg_8216 = true;
    Decoded widened = DecodeBytes("a.wav", eight);
    EXPECT_EQ(widened.format.bits, 16);
    EXPECT_EQ(Samples16(widened.bytes), (std::vector<int16_t>{-32768, 32767, 128}));

    cfg_downcvt = true;
    Decoded from24 = DecodeBytes("a.wav", Wav(1, 1, 24, "\x56\x34\x12\xFF\xFF\xFF"));
    EXPECT_EQ(Samples16(from24.bytes), (std::vector<int16_t>{0x1234, -1})); // no rounding
    Decoded from32 = DecodeBytes("a.wav", Wav(1, 1, 32, "\x78\x56\x34\x12"));
    EXPECT_EQ(Samples16(from32.bytes), (std::vector<int16_t>{0x1234}));
    // The information still describes the file.
    EXPECT_NE(from24.info.find("PCM, 8000 Hz, 1 channel(s), 24 bits per sample"), std::string::npos);
}

// Stereo 24-bit samples of every byte value, more than one piece of the
// filter's input, and an odd count: each comes out as its top two bytes.
TEST(Filters, NarrowingTo16BitsKeepsTheTopBytesOfEverySample)
{
    SettingsScope settings;
    cfg_downcvt = true;
    std::string data;
    std::vector<int16_t> expected;
    for (int i = 0; i < 2 * 3001; ++i) {
        const uint8_t b0 = uint8_t(i * 7), b1 = uint8_t(i * 13 + 1), b2 = uint8_t(i * 29 + 3);
        data += {char(b0), char(b1), char(b2)};
        expected.push_back(int16_t(uint16_t(b1 | b2 << 8)));
    }
    data += {'\x11', '\x22', '\x33'}; // a last frame cut short is dropped
    Decoded d = DecodeBytes("a.wav", Wav(1, 2, 24, data));
    EXPECT_EQ(d.format.bits, 16);
    EXPECT_EQ(Samples16(d.bytes), expected);
}

TEST(Filters, DownmixAveragesEachFrame)
{
    SettingsScope settings;
    cfg_mono = true;
    ByteBuilder stereo16;
    stereo16.u16le(1000).u16le(static_cast<unsigned>(-3001 & 0xFFFF)).u16le(7).u16le(8);
    Decoded d = DecodeBytes("a.wav", Wav(1, 2, 16, stereo16.str()));
    EXPECT_EQ(d.format.channels, 1);
    EXPECT_EQ(Samples16(d.bytes), (std::vector<int16_t>{-1000, 7})); // truncated toward zero
    // 8-bit samples centre on 128.
    Decoded eight = DecodeBytes("a.wav", Wav(1, 2, 8, std::string("\x7F\x81\x00\xFF\xFF\xFF", 6)));
    EXPECT_EQ(eight.bytes, std::string("\x80\x80\xFF", 3));
    // Three channels of 32 bits, summed without overflow.
    ByteBuilder wide;
    wide.u32le(0x7FFFFFFF).u32le(0x7FFFFFFF).u32le(0x7FFFFFFF);
    EXPECT_EQ(Samples32(DecodeBytes("a.wav", Wav(1, 3, 32, wide.str())).bytes), (std::vector<int32_t>{0x7FFFFFFF}));
    // With narrowing too, both in order.
    cfg_downcvt = true;
    Decoded both = DecodeBytes("a.wav", Wav(1, 2, 24, std::string("\x00\x00\x10\x00\x00\x30", 6)));
    EXPECT_EQ(both.format.bits, 16);
    EXPECT_EQ(Samples16(both.bytes), (std::vector<int16_t>{0x2000}));
}

TEST(Filters, FloatingPointIsFullScaleAtOne)
{
    SettingsScope settings;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::vector<float> values = {1.0f, -1.0f, 0.25f, 2.0f, nan, -0.0000001f};
    EXPECT_EQ(Samples16(DecodeBytes("a.au", FloatAu(1, values)).bytes),
              (std::vector<int16_t>{32767, -32768, 8192, 32767, 0, 0}));

    // Long runs are converted several samples a step: the same answers, in
    // every position, infinities limited too.
    const float inf = std::numeric_limits<float>::infinity();
    const std::vector<std::pair<float, int16_t>> cases = {
        {1.0f, 32767}, {-1.0f, -32768}, {0.25f, 8192},  {2.0f, 32767},       {nan, 0},
        {-1e-7f, 0},   {inf, 32767},    {-inf, -32768}, {-0.99999f, -32767}, {0.5000153f, 16384}};
    std::vector<float> run;
    std::vector<int16_t> expected;
    for (int i = 0; i < 3; ++i)
        for (const auto& [in, out] : cases) {
            run.push_back(in);
            expected.push_back(out);
        }
    EXPECT_EQ(Samples16(DecodeBytes("a.au", FloatAu(1, run)).bytes), expected);

    // A float WAV is as loud as the same float AU.
    ByteBuilder data;
    for (float v : {1.0f, 0.5f, -0.5f})
        data.f32le(v);
    Decoded wav = DecodeBytes("a.wav", Wav(3, 1, 32, data.str()));
    EXPECT_EQ(Samples16(wav.bytes), (std::vector<int16_t>{32767, 16384, -16384}));

    cfg_fdest = 1;
    Decoded d24 = DecodeBytes("a.au", FloatAu(1, {0.25f, -1.0f}));
    EXPECT_EQ(d24.format.bits, 24);
    EXPECT_EQ(Samples24(d24.bytes), (std::vector<int32_t>{0x200000, -0x800000}));
    cfg_fdest = 2;
    EXPECT_EQ(Samples32(DecodeBytes("a.au", FloatAu(1, {-1.0f, 1.0f})).bytes),
              (std::vector<int32_t>{INT32_MIN, INT32_MAX}));

    cfg_fdest = 3; // only a settings file can hold this
    testsupport::MessageBoxRecorder boxes;
    EXPECT_FALSE(DecodeBytes("a.au", FloatAu(1, {0.0f})).opened);
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, "Damaged file or unsupported format.");
}

TEST(Filters, DitherKeepsTheAverageOfEachChannel)
{
    SettingsScope settings;
    cfg_dither = true;
    // Left at half a step, right at a quarter of a step.
    std::vector<float> in;
    for (int i = 0; i < 8; ++i)
        in.insert(in.end(), {0.5f / 32768, 0.25f / 32768});
    std::vector<int16_t> out = Samples16(DecodeBytes("a.au", FloatAu(2, in)).bytes);
    std::vector<int16_t> left, right;
    for (std::size_t i = 0; i < out.size(); i += 2)
        left.push_back(out[i]), right.push_back(out[i + 1]);
    EXPECT_EQ(left, (std::vector<int16_t>{0, 1, 0, 1, 0, 1, 0, 1}));
    EXPECT_EQ(right, (std::vector<int16_t>{0, 0, 1, 0, 0, 0, 1, 0}));

    cfg_dither = false;
    out = Samples16(DecodeBytes("a.au", FloatAu(2, in)).bytes);
    EXPECT_EQ(out, std::vector<int16_t>(16, 0));
}
