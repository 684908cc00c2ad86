#include "fileinfo/MPEGaudio.h"
#include "Fixtures.h"

#include <gtest/gtest.h>

using fileinfo::TMPEGaudio;
using fixtures::Fixture;
using fixtures::Put;
using testsupport::ByteBuilder;

namespace {

// Frames of one header; the payload byte after each header decides ZeroAfterHeader.
std::string Frames(uint8_t b1, uint8_t b2, uint8_t b3, int length, int count, uint8_t payload = 0x55)
{
    ByteBuilder b;
    for (int i = 0; i < count; ++i)
        b.u8(0xFF).u8(b1).u8(b2).u8(b3).fill(static_cast<std::size_t>(length - 4), payload);
    return b.str();
}

// MPEG 1 Layer III, 128 kbit/s, 44.1 kHz: 417-byte frames.
std::string Cbr128(uint8_t b1, uint8_t b3, int count, uint8_t payload = 0x55)
{
    return Frames(b1, 0x90, b3, 417, count, payload);
}

// MPEG 1 Layer I, 32 kbit/s, 48 kHz: 32-byte frames, and an average bit rate equal to the average frame size.
std::string LayerOneWithVBR(const std::string& id, uint32_t frames, uint32_t bytes)
{
    std::string header = ByteBuilder().text(id).u32be(0xF).u32be(frames).u32be(bytes).str();
    if (id == "VBRI")
        header = ByteBuilder().text(id).u16be(1).u16be(0).u8(0).u8(77).u32be(bytes).u32be(frames).str();
    return Frames(0xFF, 0x14, 0x00, 32, 200).replace(36, header.size(), header);
}

} // namespace

TEST(MPEGaudio, ConstantBitRateFiles)
{
    TMPEGaudio mpeg;
    ASSERT_TRUE(mpeg.Read(Fixture("lame_cbr128.mp3")));
    EXPECT_TRUE(mpeg.IsPlausible());
    EXPECT_EQ(mpeg.Frame().FrameLength, 417);
    EXPECT_EQ(mpeg.ChannelModeText(), "Stereo"); // joint stereo
    // The "Info" header of a file of one rate counts its frames; the rate stays the table's.
    EXPECT_EQ(mpeg.VBR().Id, "Info");
    EXPECT_EQ(mpeg.VBR().FrameCount, 78);
    EXPECT_DOUBLE_EQ(mpeg.DurationSeconds(), 1152.0 * 78 / 44100);
    EXPECT_EQ(mpeg.BitRateKbps(), 128);
    EXPECT_EQ(mpeg.EncoderName(), "LAME 3.10"); // "LAME3.100" in the last frames
    EXPECT_EQ(mpeg.Id3v2Tag().Title(), "Cbr Title");
    EXPECT_EQ(mpeg.Id3v1Tag().Artist(), "Cbr Artist");
    // 2304 bytes without an ID3v1 tag: the end search cannot start, the frame stays.
    EXPECT_FALSE(mpeg.Read(Fixture("lame_cbr16_mono_mpeg25.mp3")));
    EXPECT_TRUE(mpeg.IsPlausible());
    EXPECT_EQ(mpeg.SampleRate(), 8000); // MPEG 2.5
    EXPECT_EQ(mpeg.Id3v2Tag().Title(), "");
}

TEST(MPEGaudio, XingHeadersAtEachOffset)
{
    const struct {
        const char* file;
        int version, mode, frames, kbps;
    } cases[] = {{"lame_vbr.mp3", 3, 1, 78, 61},              // offset 36, behind an ID3v2.4 tag
                 {"lame_vbr_mono_mpeg1.mp3", 3, 3, 78, 37},   // 21
                 {"lame_vbr_stereo_mpeg2.mp3", 2, 1, 79, 59}, // 21
                 {"lame_vbr_mono_mpeg2.mp3", 2, 3, 58, 35}};  // 13
    for (const auto& c : cases) {
        TMPEGaudio mpeg;
        ASSERT_TRUE(mpeg.Read(Fixture(c.file))) << c.file;
        EXPECT_EQ(mpeg.Frame().VersionCode, c.version) << c.file;
        EXPECT_EQ(mpeg.Frame().ModeCode, c.mode) << c.file;
        EXPECT_EQ(mpeg.VBR().Id, "Xing") << c.file;
        EXPECT_EQ(mpeg.VBR().FrameCount, c.frames) << c.file;
        EXPECT_EQ(mpeg.BitRateKbps(), c.kbps) << c.file;
        double samples = c.version == 3 ? 1152 : 576;
        EXPECT_DOUBLE_EQ(mpeg.DurationSeconds(), samples * c.frames / mpeg.SampleRate()) << c.file;
        EXPECT_EQ(mpeg.EncoderName(), "LAME 3.10");
    }
}

TEST(MPEGaudio, FrameSearch)
{
    testsupport::TempDir dir;
    TMPEGaudio mpeg;
    // A header in text with no second one a frame later is no audio; the ID3v1 tag goes with it.
    std::string lone = std::string(500, 'x') + "\xFF\xFB\x90\x44" + std::string(5000, 'x');
    EXPECT_TRUE(mpeg.Read(Put(dir, lone + ByteBuilder().text("TAG").fixed("Title", 125).str())));
    EXPECT_FALSE(mpeg.IsPlausible());
    EXPECT_FALSE(mpeg.Id3v1Tag().TagFound());
    EXPECT_EQ(mpeg.ChannelModeText(), "Unknown");
    // Garbage longer than the first block: found at (size - 0) / 2 = 12425, 8425 bytes into the frames,
    // where the next header is 332 bytes on; the offset stays relative to that block.
    ASSERT_TRUE(mpeg.Read(Put(dir, std::string(4000, 'x') + Cbr128(0xFB, 0x44, 50))));
    EXPECT_EQ(mpeg.Frame().FrameOffset, 417 * 21 - 8425);
    EXPECT_DOUBLE_EQ(mpeg.DurationSeconds(), (24850.0 - 332) * 8 / 128 / 1000);
    ASSERT_TRUE(mpeg.Read(Fixture("pcm_s16_stereo.wav")));
    EXPECT_FALSE(mpeg.Frame().Located);
    EXPECT_EQ(mpeg.FileSize(), 0);
    EXPECT_EQ(mpeg.EncoderId(), 0);
}

TEST(MPEGaudio, VariableBitRateHeaders)
{
    testsupport::TempDir dir;
    TMPEGaudio mpeg;
    ASSERT_TRUE(mpeg.Read(Put(dir, LayerOneWithVBR("Xing", 2, 201))));
    EXPECT_EQ(mpeg.BitRateKbps(), 100); // 100.5, halves to even
    EXPECT_DOUBLE_EQ(mpeg.DurationSeconds(), 48.0 * 2 * 8 / 48000);
    EXPECT_EQ(mpeg.EncoderId(), 1); // another encoder's vendor text
    ASSERT_TRUE(mpeg.Read(Put(dir, LayerOneWithVBR("Xing", 2, 203))));
    EXPECT_EQ(mpeg.BitRateKbps(), 102);                                // 101.5
    ASSERT_TRUE(mpeg.Read(Put(dir, LayerOneWithVBR("Xing", 0, 999)))); // no frame count: table and file size
    EXPECT_EQ(mpeg.BitRateKbps(), 32);
    EXPECT_DOUBLE_EQ(mpeg.DurationSeconds(), 6400.0 * 8 / 32 / 1000);
    ASSERT_TRUE(mpeg.Read(Put(dir, LayerOneWithVBR("VBRI", 4, 480))));
    EXPECT_EQ(mpeg.VBR().Quality, 77);
    EXPECT_EQ(mpeg.BitRateKbps(), 120);
    EXPECT_EQ(mpeg.EncoderName(), "FhG");
}

TEST(MPEGaudio, FrameLengthsOfEveryVersionAndLayer)
{
    // Layer II holds 1152 samples and Layer I 384 in MPEG 2 too: 144 and 48 bytes per bit per
    // sample. Each file is found only when its second header sits one frame length on.
    const struct {
        uint8_t b1, b2;
        int length, samples;
        unsigned rate, kbps;
    } cases[] = {{0xF5, 0x84, 384, 1152, 24000, 64},  // MPEG 2 Layer II: 144 x 64000 / 24000
                 {0xF7, 0x44, 128, 384, 24000, 64},   // MPEG 2 Layer I: 48 x 64000 / 24000
                 {0xE5, 0x88, 1152, 1152, 8000, 64},  // MPEG 2.5 Layer II: 144 x 64000 / 8000
                 {0xF3, 0x84, 192, 576, 24000, 64},   // MPEG 2 Layer III: 72 x 64000 / 24000
                 {0xFD, 0x84, 384, 1152, 48000, 128}, // MPEG 1 Layer II
                 {0xFF, 0x44, 128, 384, 48000, 128}}; // MPEG 1 Layer I
    testsupport::TempDir dir;
    TMPEGaudio mpeg;
    for (const auto& c : cases) {
        ASSERT_TRUE(mpeg.Read(Put(dir, Frames(c.b1, c.b2, 0xC0, c.length, 50)))) << int(c.b1);
        EXPECT_TRUE(mpeg.IsPlausible()) << int(c.b1);
        EXPECT_EQ(mpeg.Frame().FrameLength, c.length) << int(c.b1);
        EXPECT_EQ(mpeg.SampleRate(), c.rate) << int(c.b1);
        EXPECT_EQ(mpeg.BitRateKbps(), c.kbps) << int(c.b1);
        EXPECT_DOUBLE_EQ(mpeg.DurationSeconds(), 50.0 * c.samples / c.rate) << int(c.b1);
    }
}

TEST(MPEGaudio, InfoHeaderCodedAboveTheRateOfTheFile)
{
    // MPEG 2 Layer III mono at 22.05 kHz: a 56 kbit/s frame holds the "Info" header, 32 kbit/s
    // frames (104 bytes) the audio.
    std::string info = Frames(0xF3, 0x70, 0xC0, 182, 1);
    std::string header = ByteBuilder().text("Info").u32be(0xF).u32be(1000).u32be(104182).str();
    info.replace(13, header.size(), header);
    testsupport::TempDir dir;
    TMPEGaudio mpeg;
    ASSERT_TRUE(mpeg.Read(Put(dir, info + Frames(0xF3, 0x40, 0xC0, 104, 1000))));
    EXPECT_EQ(mpeg.VBR().Id, "Info");
    EXPECT_EQ(mpeg.BitRateKbps(), 32);
    EXPECT_DOUBLE_EQ(mpeg.DurationSeconds(), 576.0 * 1000 / 22050);
    // Its encoder is guessed as for any file of one rate.
    EXPECT_EQ(mpeg.EncoderName(), "FhG");
}

TEST(MPEGaudio, VariableRateWithoutAHeaderIsMeasured)
{
    // MPEG 1 Layer III at 44.1 kHz, 128 and 320 kbit/s frames taking turns: 730 KB, more than the
    // reader follows, so its sample of spread-out frames has to give the average.
    std::string frames;
    for (int i = 0; i < 500; ++i)
        frames += Frames(0xFB, 0x90, 0x44, 417, 1) + Frames(0xFB, 0xE0, 0x44, 1044, 1);
    testsupport::TempDir dir;
    TMPEGaudio mpeg;
    ASSERT_TRUE(mpeg.Read(Put(dir, frames)));
    EXPECT_TRUE(mpeg.Sample().Varies);
    EXPECT_LT(mpeg.Sample().Bytes, int64_t(frames.size()) / 4);
    EXPECT_NEAR(mpeg.DurationSeconds(), 1000 * 1152.0 / 44100, 0.01 * 1000 * 1152 / 44100);
    EXPECT_NEAR(mpeg.BitRateKbps(), 224, 3);
    // A short file is followed whole: exact.
    ASSERT_TRUE(mpeg.Read(Put(dir, frames.substr(0, 1461 * 20))));
    EXPECT_DOUBLE_EQ(mpeg.DurationSeconds(), 40 * 1152.0 / 44100);
    EXPECT_EQ(mpeg.BitRateKbps(), 224);
}

TEST(MPEGaudio, EncoderGuessFromHeaderFlags)
{
    const struct {
        uint8_t b1, b3, payload, id;
    } cases[] = {
        {0xFB, 0x40, 0x55, 2}, // nothing special: FhG
        {0xFA, 0x44, 0x55, 3}, // original with CRC: LAME
        {0xFB, 0x00, 0x55, 4}, // stereo at 160 kbit/s or less: Blade
        {0xFB, 0x4C, 0x55, 1}, // copyright and original without CRC: Xing
        {0xFA, 0x44, 0x00, 1}, // zeros after an original header: Xing
        {0xFA, 0x80, 0x55, 6}, // dual channel with CRC: Shine
    };
    testsupport::TempDir dir;
    TMPEGaudio mpeg;
    for (const auto& c : cases) {
        ASSERT_TRUE(mpeg.Read(Put(dir, Cbr128(c.b1, c.b3, 20, c.payload))));
        EXPECT_EQ(mpeg.EncoderId(), c.id) << int(c.b1) << " " << int(c.b3);
    }
    std::string gogo = Cbr128(0xFB, 0x44, 20).replace(20 * 417 - 100, 4, "GOGO");
    ASSERT_TRUE(mpeg.Read(Put(dir, gogo)));
    EXPECT_EQ(mpeg.EncoderName(), "GoGo");
}
